// The readings as the command-line tool and the program's CSV logs show them, the CSV file under them
// and the texts for a connection that does not come about.
#include "diag/TempDir.h"
#include "instrument/laser/Laser.h"
#include "instrument/laser/LaserProtocol.h"
#include "instrument/report/Channels.h"
#include "instrument/report/ConnectMessages.h"
#include "instrument/report/CsvFile.h"
#include "instrument/report/ModeNames.h"
#include "instrument/report/ReadingFormat.h"
#include "instrument/report/ReadingLog.h"
#include "instrument/tec/TEC.h"
#include "instrument/tec/TecTypes.h"

#include <cerrno>
#include <clocale>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

namespace
{
using ::testing::AllOf;
using ::testing::HasSubstr;

TEST(ReadingFormat, ReadingsKeepTheInstrumentsPrecisionAndMarkMissingValues)
{
    // Numbers printed for people and logged to CSV must not follow a decimal-comma locale.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::vector<std::string> shown{ReadingFormat::Number(25.0034, 3), ReadingFormat::Number(-0.5, 0),
                                         ReadingFormat::Number(10.0, 4),
                                         ReadingFormat::Number(static_cast<float>(-1e32), 3),
                                         ReadingFormat::Number(std::numeric_limits<double>::quiet_NaN(), 3)};
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(shown, (std::vector<std::string>{"25.003", "-0", "10.0000", "---", "---"}));
}

TEST(ReadingFormat, MonitorLineAndCsvRowsFollowTheHeader)
{
    const std::vector<SChannelReadings> channels{
        {"TEC1", {{"T", "°C", 25.5, 2, ""}, {"mode", "", 0.0, 0, "T"}}},
        {"LAS", {{"LDI", "mA", -1e32, 1, ""}, {"note", "", 0.0, 0, "a,\"b\""}}}};
    EXPECT_EQ(ReadingFormat::MonitorLine("t0", channels),
              "t0  TEC1: T 25.50 °C, mode T  LAS: LDI --- mA, note a,\"b\"");
    EXPECT_EQ(ReadingFormat::CsvHeader(channels), "time,TEC1 T [°C],TEC1 mode,LAS LDI [mA],LAS note");
    EXPECT_EQ(ReadingFormat::CsvRow("t0", channels), "t0,25.50,T,---,\"a,\"\"b\"\"\"");
}

TEST(ReadingFormat, TimestampIsIso8601InUtcWithMillisecondsAndOutsideTextIsEscaped)
{
    const auto time = std::chrono::system_clock::time_point(std::chrono::milliseconds(1796737148123));
    EXPECT_EQ(ReadingFormat::IsoTimestamp(time), "2026-12-08T13:39:08.123Z");
    EXPECT_EQ(ReadingFormat::Printable(std::string("a\\b\r\n\x7F", 6)), "a\\\\b\\x0D\\x0A\\x7F");
    EXPECT_EQ(ReadingFormat::Printable(std::string(300, 'x'), 4), "xxxx...");
}

// A channel whose poll has not read anything: every value is unknown, none is a zero or an "off".
TEST(ChannelReadings, ValuesNoPollCycleReadShowAsUnknown)
{
    CTEC tec;
    CLaser laser;
    const SChannels tecs = SChannels::Of(tec);
    const SChannels lasers = SChannels::Of(laser);
    ASSERT_EQ(tecs.tecs.size(), 1u);
    EXPECT_EQ(tecs.tecs[0].label, "TEC");
    ASSERT_EQ(lasers.lasers.size(), 1u);
    EXPECT_EQ(lasers.lasers[0].label, "LAS");
    for (const SChannelReadings& channel : {tecs.Read().at(0), lasers.Read().at(0)})
    {
        const std::string row = ReadingFormat::CsvRow("t", {channel});
        EXPECT_EQ(row.find_first_not_of("t,-"), std::string::npos) << row;
        EXPECT_THAT(ReadingFormat::MonitorLine("t", {channel}),
                    AllOf(HasSubstr("set ---"), HasSubstr("output ---")));
    }
}

// A TEC whose readings are all in, in R mode, but whose sensor type (and so the unit of R) is not yet.
class CTecInRMode : public CTEC
{
public:
    int sensorType = 0;

    int GetSensorType(bool, int) override { return sensorType; }
    int GetMode(bool) override { return TecModeR; }
    float GetT(bool, int) override { return 25.0f; }
    float GetR(bool, int) override { return 10.0f; }
    float GetITE(bool) override { return 0.5f; }
    float GetV(bool) override { return 1.0f; }
    float GetSetPoint() override { return 10.0f; }
    int GetCondition() override { return 0; }
    bool GetOutput(bool) override { return true; }
    bool IsFresh(TecReading, int) const override { return true; }
};

TEST(ChannelReadings, AReadingWhoseUnitIsNotKnownYetIsUnknownItselfNeverUnitless)
{
    CTecInRMode tec;
    const auto line = [&tec] { return ReadingFormat::MonitorLine("t", SChannels::Of(tec).Read()); };
    EXPECT_THAT(line(), AllOf(HasSubstr("T 25"), HasSubstr("R ---,"), HasSubstr("R set ---,")));
    tec.sensorType = SensorThermistor100uA;
    EXPECT_THAT(line(), AllOf(HasSubstr("R 10 k\u03A9,"), HasSubstr("R set 10 k\u03A9,")));
}

TEST(ModeNames, NamesRoundTripInAnyCaseAndUnknownsAreMarked)
{
    for (const int mode : {TecModeT, TecModeR, TecModeITE})
        EXPECT_EQ(ModeNames::ParseTec(ModeNames::Tec(mode)), mode) << mode;
    EXPECT_EQ(ModeNames::ParseLaser("pUlSe"), LaserModePulse);
    EXPECT_EQ(ModeNames::Laser(LaserModeLDV), "LDV");
    // What is shown is what the laser panel labels its modes.
    EXPECT_EQ(ModeNames::LaserShown(LaserModeICW), "Io");
    EXPECT_EQ(ModeNames::LaserShown(LaserModeMDP), "Po");
    EXPECT_EQ(ModeNames::LaserShown(LaserModeTrig), "Ext Trig");
    EXPECT_EQ(ModeNames::LaserShown(0), "?");
    EXPECT_EQ(ModeNames::ParseTec("V"), 0);
    EXPECT_EQ(ModeNames::ParseLaser("ICWX"), 0);
    EXPECT_EQ(ModeNames::Tec(0), "?");
}

// A crash must lose at most the row being written, and a full disk must not pass for a written log.
TEST(CsvFile, EachLineReachesTheFileAsItIsWrittenAndAFullDiskIsAnError)
{
    TempDir folder;
    CCsvFile csv;
    EXPECT_TRUE(csv.WriteLine("ignored while no file is open"));
    ASSERT_TRUE(csv.Open(folder.File("log.csv")));
    ASSERT_TRUE(csv.WriteLine("time,TEC T [°C]"));
    ASSERT_TRUE(csv.WriteLine("t0,25.00"));
    EXPECT_EQ(ReadFile(folder.File("log.csv")), "time,TEC T [°C]\nt0,25.00\n");
    EXPECT_TRUE(csv.Close());

    CCsvFile full;
    ASSERT_TRUE(full.Open("/dev/full"));
    errno = 0;
    EXPECT_FALSE(full.WriteLine("t0,25.00"));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(full.Error(), "No space left on device");
    full.Close();

    CCsvFile missing;
    EXPECT_FALSE(missing.Open(folder.File("no/such/folder/log.csv")));
    EXPECT_EQ(missing.Error(), "No such file or directory");
}

// Rows written into a file nobody can find any more are lost: the next line and the close say so.
TEST(CsvFile, AFileRemovedWhileItIsWrittenIsAFailure)
{
    TempDir folder;
    const std::string path = folder.File("log.csv");
    CCsvFile csv;
    ASSERT_TRUE(csv.Open(path));
    ASSERT_TRUE(csv.WriteLine("t0,25.00"));
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_FALSE(csv.WriteLine("t1,25.01"));
    EXPECT_EQ(csv.Error(), "the file was removed while it was written");
    EXPECT_FALSE(csv.Close());
    EXPECT_EQ(csv.Error(), "the file was removed while it was written");
}

namespace
{
const auto kStart = std::chrono::system_clock::time_point(std::chrono::milliseconds(1796737148123));

std::vector<SChannelReadings> TecReadings(const std::string& rUnit, double t)
{
    return {{"TEC",
             {{"T", "°C", t, 2, ""},
              {"R", rUnit, 10.0, 3, ""},
              {"T set", "°C", 25.0, 2, ""},
              {"R set", rUnit, 0.0, 0, "", true},
              {"mode", "", 0.0, 0, "T"}}}};
}
} // namespace

// The log describes itself before its columns and never leaves a gap or a unit to be guessed.
TEST(ReadingLog, HeaderBlockColumnsRowsAndOneRowPerGap)
{
    TempDir folder;
    CReadingLog log;
    ASSERT_TRUE(log.Open(folder.File("log.csv")));
    log.SetSource({"tamrix-cli 9.9", "K760", "S/N\n1", "1.0.2", "TCP:127.0.0.1:1"});
    ASSERT_TRUE(log.WriteRow(kStart, TecReadings("kΩ", 25.5)));
    ASSERT_TRUE(log.WriteGap(kStart + std::chrono::seconds(1), TecReadings("kΩ", 0), "polling paused"));
    ASSERT_TRUE(log.WriteGap(kStart + std::chrono::seconds(2), TecReadings("kΩ", 0), "polling paused"));
    ASSERT_TRUE(log.WriteRow(kStart + std::chrono::seconds(3), TecReadings("kΩ", 25.25)));
    // The sensor changed: an R in ohms is not what the kΩ column holds.
    ASSERT_TRUE(log.WriteRow(kStart + std::chrono::seconds(4), TecReadings("Ω", 25.0)));
    EXPECT_EQ(log.Rows(), 3);
    EXPECT_TRUE(log.Close());
    EXPECT_EQ(
        ReadFile(folder.File("log.csv")),
        "# readings log\n"
        "# program: tamrix-cli 9.9\n"
        "# model: K760\n"
        "# serial number: S/N\\x0A1\n"
        "# firmware: 1.0.2\n"
        "# port: TCP:127.0.0.1:1\n"
        "# channels: TEC\n"
        "# started: 2026-12-08T13:39:08.123Z\n"
        "# units: time=ISO 8601 UTC; TEC T=°C; TEC R=kΩ; TEC T set=°C; TEC R set=kΩ; TEC mode=none; "
        "note=none\n"
        "# \"---\" is a reading the program cannot vouch for; an empty field has no value (the set point "
        "of another mode, or a gap row)\n"
        "# a row whose note is \"gap: <cause>\" holds no readings: none were taken from its time to the "
        "next row\n"
        "time,TEC T [°C],TEC R [kΩ],TEC T set [°C],TEC R set [kΩ],TEC mode,note\n"
        "2026-12-08T13:39:08.123Z,25.50,10.000,25.00,,T,\n"
        "2026-12-08T13:39:09.123Z,,,,,,gap: polling paused\n"
        "2026-12-08T13:39:11.123Z,25.25,10.000,25.00,,T,\n"
        "2026-12-08T13:39:12.123Z,25.00,---,25.00,,T,\n");
}

TEST(ReadingLog, OtherChannelsAndAFullDiskAreFailuresWithTheirCause)
{
    TempDir folder;
    CReadingLog log;
    ASSERT_TRUE(log.Open(folder.File("log.csv")));
    ASSERT_TRUE(log.WriteRow(kStart, TecReadings("kΩ", 25.5)));
    std::vector<SChannelReadings> more = TecReadings("kΩ", 25.5);
    more.push_back({"LAS", {{"LDI", "mA", 10.0, 1, ""}}});
    EXPECT_FALSE(log.WriteRow(kStart, more));
    EXPECT_EQ(log.Error(), "the instrument's channels changed");
    EXPECT_EQ(log.Rows(), 1);

    CReadingLog full;
    ASSERT_TRUE(full.Open("/dev/full"));
    EXPECT_FALSE(full.WriteRow(kStart, TecReadings("kΩ", 25.5)));
    EXPECT_EQ(full.Error(), "No space left on device");
    EXPECT_EQ(full.Rows(), 0);
}

TEST(ConnectMessages, OpenFailuresNameTheirCauseAndEscapeTheHost)
{
    const PortDescriptor tcp{"TCP", "bad\nhost", "10001"};
    EXPECT_EQ(ConnectMessages::OpenFailure(tcp, EOpenFailure::SocketUnavailable), ConnectMessages::NoSocket);
    EXPECT_EQ(ConnectMessages::OpenFailure(tcp, EOpenFailure::ConnectionRefused),
              std::string(ConnectMessages::CouldNotConnectTcp) + ": " +
                  DescribeOpenFailure(EOpenFailure::ConnectionRefused) + " (bad\\x0Ahost:10001)");
    const PortDescriptor com{"COM", "3", "9600"};
    EXPECT_EQ(ConnectMessages::OpenFailure(com, EOpenFailure::InUse), ConnectMessages::CouldNotOpen);
    // No cause at all is still a failure, never an empty reason.
    EXPECT_EQ(ConnectMessages::OpenFailure(com, EOpenFailure::None),
              std::string("Could not open COM port 3: ") + DescribeOpenFailure(EOpenFailure::Other) + ".");
}
} // namespace
