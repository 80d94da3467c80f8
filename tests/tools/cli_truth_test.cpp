// tamrix-cli under the simulator's faults: what it prints is either a value the last poll cycle read
// or "---", failures are named for what they are, and nothing is lost without an error.
#include "CliArgs.h"
#include "CliProcess.h"
#include "SimInstrument.h"
#include "comm/PortRegistry.h"
#include "comm/SerialRS232.h"
#include "diag/IniProfile.h"
#include "diag/TempDir.h"
#include "instrument/report/ConnectMessages.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"

#include <chrono>
#include <fstream>
#include <future>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace
{
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// The monitor rows of an output (the lines after "Connected to ...").
std::vector<std::string> Rows(const std::string& out)
{
    std::vector<std::string> rows = Lines(out);
    if (!rows.empty())
        rows.erase(rows.begin());
    return rows;
}

// Milliseconds of the day of a row's "2026-12-08T14:39:08.123Z" timestamp.
long long RowMs(const std::string& row)
{
    const int hours = std::stoi(row.substr(11, 2));
    const int minutes = std::stoi(row.substr(14, 2));
    const int seconds = std::stoi(row.substr(17, 2));
    const int millis = std::stoi(row.substr(20, 3));
    return ((hours * 60LL + minutes) * 60 + seconds) * 1000 + millis;
}

class CliUnderFaults : public ::testing::Test
{
protected:
    std::string Start(const char* model)
    {
        m_sim = CSimInstrument::Create(model);
        std::string error;
        if (!m_sim || !m_sim->StartTcp("127.0.0.1", 0, error))
            return {};
        return "TCP:127.0.0.1:" + std::to_string(m_sim->TcpPort());
    }
    SCliRun Run(const std::vector<std::string>& args, int timeoutMs = 60000)
    {
        return RunCliProcess(args, m_config.Path(), timeoutMs);
    }

    TempDir m_config;
    std::unique_ptr<CSimInstrument> m_sim;
};
} // namespace

TEST_F(CliUnderFaults, RepliesThatStopBeingAcceptedEndTheSessionAfterTwoFailedQueries)
{
    const std::string descriptor = Start("K760");
    ASSERT_FALSE(descriptor.empty());
    const std::string csvPath = m_config.File("readings.csv");
    auto monitor = std::async(std::launch::async,
                              [&] {
                                  return Run({"monitor", descriptor, "--csv", csvPath});
                              });
    ASSERT_GE(m_sim->Log().WaitForText(":TEC:CHAN?;", 20s), 0);
    // Every reply now names another channel: the poll refuses each one.
    m_sim->Faults().wrongChannel = true;
    const SCliRun run = monitor.get();
    EXPECT_EQ(run.exitCode, ExitNoInstrument) << run.out;
    EXPECT_THAT(run.err, HasSubstr(std::string("tamrix-cli: ") + ConnectMessages::LostCommunications));
    // The log ends saying why, not with a last row that looks like any other.
    std::ifstream file(csvPath);
    std::stringstream content;
    content << file.rdbuf();
    const std::vector<std::string> lines = Lines(content.str());
    ASSERT_FALSE(lines.empty());
    EXPECT_THAT(lines.back(), AllOf(testing::MatchesRegex("20[-0-9T:.]*Z,*,gap: lost communications")));
}

TEST_F(CliUnderFaults, ASilentUnitIsSaidAtOnceShownAsDashesAndGivenUpInAboutTwentySeconds)
{
    const std::string descriptor = Start("K760");
    ASSERT_FALSE(descriptor.empty());
    auto monitor = std::async(std::launch::async, [&] { return Run({"monitor", descriptor}); });
    ASSERT_GE(m_sim->Log().WaitForText(":TEC:CHAN?;", 20s), 0);
    m_sim->Faults().silent = true;
    const auto fault = std::chrono::steady_clock::now();
    const SCliRun run = monitor.get();
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - fault).count();
    EXPECT_EQ(run.exitCode, ExitNoInstrument) << run.out;
    EXPECT_THAT(run.err, HasSubstr("tamrix-cli: No answer from the instrument for 2 s"));
    EXPECT_THAT(run.err, HasSubstr(std::string("tamrix-cli: ") + ConnectMessages::LostCommunications));
    EXPECT_GE(seconds, 15);
    EXPECT_LE(seconds, 35);
    // The time goes on while the unit says nothing; its readings are no longer shown as measured.
    const std::vector<std::string> rows = Rows(run.out);
    ASSERT_GE(rows.size(), 10u) << run.out;
    EXPECT_THAT(rows.back(), HasSubstr("T ---")) << run.out;
}

TEST_F(CliUnderFaults, SlowCyclesGiveOneRowEachAndNeverARepeatedRow)
{
    const std::string descriptor = Start("K760");
    ASSERT_FALSE(descriptor.empty());
    auto monitor = std::async(std::launch::async,
                              [&] {
                                  return Run({"monitor", descriptor, "--count", "5"});
                              });
    ASSERT_GE(m_sim->Log().WaitForText(":TEC:CHAN?;", 20s), 0);
    // Each reply late by 400 ms: a poll cycle of three queries lasts well over a refresh.
    m_sim->Faults().delayMs = 400;
    const SCliRun run = monitor.get();
    ASSERT_EQ(run.exitCode, ExitOk) << run.err;
    const std::vector<std::string> rows = Rows(run.out);
    ASSERT_EQ(rows.size(), 5u) << run.out;
    // The first row may come from a cycle before the delay; the ones after it each wait for theirs.
    for (size_t index = 3; index < rows.size(); ++index)
        EXPECT_GE(RowMs(rows[index]) - RowMs(rows[index - 1]), 900) << run.out;
}

TEST_F(CliUnderFaults, SensorFaultsShowInPlaceOfTheirReadings)
{
    const std::string descriptor = Start("K760");
    ASSERT_FALSE(descriptor.empty());
    m_sim->SetSensorFault(0, ESimSensorFault::Open);
    const SCliRun open = Run({"monitor", descriptor, "--count", "1"});
    EXPECT_THAT(open.out, HasSubstr("TEC: T open, R open, ITE ")) << open.err;
    m_sim->SetSensorFault(0, ESimSensorFault::Short);
    const SCliRun shorted = Run({"monitor", descriptor, "--count", "1"});
    EXPECT_THAT(shorted.out, HasSubstr("TEC: T short, R short, ITE ")) << shorted.err;
}

TEST_F(CliUnderFaults, ACsvFileThatTakesNothingIsAnError)
{
    const std::string descriptor = Start("K760");
    ASSERT_FALSE(descriptor.empty());
    const SCliRun run = Run({"monitor", descriptor, "--count", "2", "--csv", "/dev/full"});
    EXPECT_EQ(run.exitCode, ExitFailure) << run.out;
    EXPECT_THAT(run.err, HasSubstr("cannot write /dev/full: No space left on device"));
}

TEST_F(CliUnderFaults, AChannelSelectionAnsweredWithAnotherChannelIsAFailureNotAnEmptyUnit)
{
    for (const char* model : {"M609", "LPS-4"})
    {
        const std::string descriptor = Start(model);
        ASSERT_FALSE(descriptor.empty()) << model;
        m_sim->Faults().wrongChannel = true;
        const SCliRun info = Run({"info", descriptor});
        EXPECT_EQ(info.exitCode, ExitNoInstrument) << model << "\n" << info.out;
        EXPECT_THAT(info.err, HasSubstr("tamrix-cli: channel selection failed")) << model;
        EXPECT_THAT(info.out, Not(HasSubstr("Channels:"))) << model;
    }
}

TEST(CliOpenFailures, EachCauseIsNamedAndMalformedDescriptorsAreUsageErrors)
{
    TempDir config;
    const std::string regular = config.File("regular");
    std::ofstream(regular) << "x";
    // "ports add" refuses it; a settings file edited by hand (or an older tool) may still hold it.
    CIniProfile store(config.File("Tamrix Instruments/Tamrix Control.ini"));
    ASSERT_TRUE(CPortRegistry(store).Register(7, regular, true));
    const struct
    {
        const char* descriptor;
        int exitCode;
        const char* says;
    } rows[] = {
        {"COM:99999:0", ExitUsage, "\"COM:99999:0\" is not a port descriptor"},
        {"COM:-1:0", ExitUsage, "\"COM:-1:0\" is not a port descriptor"},
        {"COM:8:0", ExitNoInstrument, "Could not open COM port 8: no such port."},
        {"COM:7:0", ExitNoInstrument, "Could not open COM port 7: not a terminal."},
        {"TCP:no.such.host.invalid:15999", ExitNoInstrument,
         "Unable to connect to TCP/IP port: host not found"},
        {"COM:1:abc", ExitUsage, "\"COM:1:abc\" is not a port descriptor"},
        {"COM:1:0:extra", ExitUsage, "is not a port descriptor"},
        {"TCP:host:12x", ExitUsage, "is not a port descriptor"},
        {"TCP:host:12:", ExitUsage, "is not a port descriptor"},
        {"COM:\x1b[2J\r:1", ExitUsage, "\"COM:\\x1B[2J\\x0D:1\" is not"},
    };
    for (const auto& row : rows)
    {
        for (const char* command : {"info", "monitor", "query"})
        {
            std::vector<std::string> args{command, row.descriptor};
            if (std::string(command) == "query")
                args.push_back("*IDN?");
            const SCliRun run = RunCliProcess(args, config.Path());
            EXPECT_EQ(run.exitCode, row.exitCode) << command << " " << row.descriptor << "\n" << run.err;
            EXPECT_THAT(run.err, HasSubstr(row.says)) << command << " " << row.descriptor;
            EXPECT_THAT(run.err, Not(HasSubstr(ConnectMessages::CouldNotOpen)));
        }
    }
    const SCliRun flood = RunCliProcess({"info", std::string(5000, 'A')}, config.Path());
    EXPECT_EQ(flood.exitCode, ExitUsage);
    EXPECT_LT(flood.err.size(), 400u) << "a descriptor echoed is cut";
}

TEST(CliOpenFailures, ARefusedNetworkConnectionSaysSo)
{
    TempDir config;
    LoopbackServer refusing(LoopbackServer::Mode::Refusing);
    const std::string descriptor = "TCP:127.0.0.1:" + std::to_string(refusing.Port());
    for (const char* command : {"detect", "info", "monitor"})
    {
        const SCliRun run = RunCliProcess({command, descriptor}, config.Path());
        EXPECT_EQ(run.exitCode, ExitNoInstrument) << command;
        EXPECT_EQ(run.err, "tamrix-cli: Unable to connect to TCP/IP port: connection refused (127.0.0.1:" +
                               std::to_string(refusing.Port()) + ")\n")
            << command;
    }
}

TEST(CliOpenFailures, APortHeldByAnotherProgramIsInUse)
{
    TempDir config;
    PtyPair pty;
    ASSERT_EQ(RunCliProcess({"ports", "add", "8", pty.SlavePath()}, config.Path()).exitCode, ExitOk);
    CSerialRS232 holder;
    ASSERT_TRUE(holder.OpenPortByName(pty.SlavePath(), 9600));
    const SCliRun run = RunCliProcess({"info", "COM:8:0"}, config.Path());
    EXPECT_EQ(run.exitCode, ExitNoInstrument);
    EXPECT_EQ(run.err, std::string("tamrix-cli: ") + ConnectMessages::CouldNotOpen + "\n");
}

TEST_F(CliUnderFaults, RepliesAreEchoedWithTheirControlBytesEscaped)
{
    const std::string descriptor = Start("K760");
    ASSERT_FALSE(descriptor.empty());
    // The unit's message text comes back as it was stored.
    ASSERT_EQ(Run({"query", descriptor, "MESSAGE \"a\x1b[2Jb\""}).exitCode, ExitOk);
    const SCliRun run = Run({"query", descriptor, "MESSAGE?"});
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
    EXPECT_THAT(run.out, HasSubstr("a\\x1B[2Jb"));
}

TEST_F(CliUnderFaults, ErrorsQueuedBeforeTheConnectAreShown)
{
    const std::string descriptor = Start("K760");
    ASSERT_FALSE(descriptor.empty());
    for (const char* command : {"info", "monitor"})
    {
        m_sim->PushError(201);
        std::vector<std::string> args{command, descriptor};
        if (std::string(command) == "monitor")
            args.insert(args.end(), {"--count", "1"});
        const SCliRun run = Run(args);
        EXPECT_EQ(run.exitCode, ExitOk) << command << "\n" << run.err;
        EXPECT_THAT(run.err, HasSubstr("instrument error 201: ")) << command;
    }
}

TEST_F(CliUnderFaults, MissingPollDataIsSaidOncePerRunWithTheProgramsName)
{
    const std::string descriptor = Start("D310");
    ASSERT_FALSE(descriptor.empty());
    auto monitor = std::async(std::launch::async, [&] { return Run({"monitor", descriptor}); });
    ASSERT_GE(m_sim->Log().WaitForText("LAS:CHAN?;", 20s), 0);
    m_sim->Faults().garble = true;
    const SCliRun run = monitor.get();
    EXPECT_EQ(run.exitCode, ExitNoInstrument) << run.out;
    size_t lines = 0;
    for (const std::string& line : Lines(run.err))
    {
        if (line.find("Error detected, or missing data!") == std::string::npos)
            continue;
        ++lines;
        EXPECT_THAT(line, AllOf(::testing::StartsWith("tamrix-cli: Error detected, or missing data! ("),
                                HasSubstr(" poll cycles in a row)")));
    }
    EXPECT_EQ(lines, 1u) << run.err;
}
