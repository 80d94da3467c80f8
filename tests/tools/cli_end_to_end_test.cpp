#include "CliCommands.h"
#include "CliProcess.h"
#include "SimInstrument.h"
#include "diag/TempDir.h"
#include "instrument/report/ConnectMessages.h"
#include "support/PtyPair.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

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

size_t Fields(const std::string& csvLine)
{
    return static_cast<size_t>(std::count(csvLine.begin(), csvLine.end(), ',')) + 1;
}

enum class Transport
{
    Tcp,
    Pty
};

// A simulated K760 reached as "TCP:127.0.0.1:<port>" or as a pty registered as COM 5 through the
// tool itself, so the port number crosses from one tamrix-cli process to the next.
class CliAgainstSimulator : public ::testing::TestWithParam<Transport>
{
protected:
    void SetUp() override
    {
        m_sim = CSimInstrument::Create("K760");
        ASSERT_TRUE(m_sim);
        std::string error;
        if (GetParam() == Transport::Tcp)
        {
            ASSERT_TRUE(m_sim->StartTcp("127.0.0.1", 0, error)) << error;
            m_descriptor = "TCP:127.0.0.1:" + std::to_string(m_sim->TcpPort());
            return;
        }
        ASSERT_TRUE(m_sim->StartPty("", error)) << error;
        const SCliRun added = Run({"ports", "add", "5", m_sim->PtyPath()});
        ASSERT_EQ(added.exitCode, ExitOk) << added.err;
        m_descriptor = "COM:5:0";
    }

    SCliRun Run(const std::vector<std::string>& args) { return RunCliProcess(args, m_config.Path()); }

    TempDir m_config;
    std::unique_ptr<CSimInstrument> m_sim;
    std::string m_descriptor;
};

TEST_P(CliAgainstSimulator, DetectInfoAndQueryIdentifyTheK760)
{
    const SCliRun detect = Run({"detect", m_descriptor});
    EXPECT_EQ(detect.exitCode, ExitOk) << detect.err;
    EXPECT_THAT(detect.out, AllOf(HasSubstr("familyCode:  2\n"), HasSubstr("modelCode:   13\n")));

    const SCliRun info = Run({"info", m_descriptor});
    EXPECT_EQ(info.exitCode, ExitOk) << info.err;
    EXPECT_THAT(info.out, AllOf(HasSubstr("Model:            K760\n"),
                                HasSubstr("Channels:         TEC 1 (1), laser 0"),
                                HasSubstr("TEC:              sensors 7, ")));

    const SCliRun query = Run({"query", m_descriptor, "*IDN?"});
    EXPECT_EQ(query.exitCode, ExitOk) << query.err;
    EXPECT_THAT(query.out, StartsWith("Tamrix Instruments,K760,"));
}

TEST_P(CliAgainstSimulator, InfoShowsTheRevisionAloneAndErrorsQueuedBeforeTheConnection)
{
    m_sim->PushError(201);
    const SCliRun info = Run({"info", m_descriptor});
    EXPECT_EQ(info.exitCode, ExitOk) << info.err;
    const std::vector<std::string> lines = Lines(info.out);
    const auto revision = std::find_if(lines.begin(), lines.end(),
                                       [](const std::string& line) { return line.starts_with("Revision:"); });
    ASSERT_NE(revision, lines.end()) << info.out;
    EXPECT_THAT(*revision, ::testing::MatchesRegex("Revision: +[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+"));
    EXPECT_EQ(info.err, "instrument error 201: Parameter was out of range and not accepted (queued in the "
                        "instrument before this connection)\n");
}

TEST_P(CliAgainstSimulator, ErrorQueueIsPrintedWithTextsAndThenEmpty)
{
    m_sim->PushError(201);
    m_sim->PushError(402);
    const SCliRun errors = Run({"errors", m_descriptor});
    EXPECT_EQ(errors.exitCode, ExitInstrumentErrors) << errors.err;
    EXPECT_EQ(errors.out, "201 Parameter was out of range and not accepted\n"
                          "402 TEC: Sensor open shutdown the output\n");

    const SCliRun empty = Run({"errors", m_descriptor});
    EXPECT_EQ(empty.exitCode, ExitOk) << empty.err;
    EXPECT_EQ(empty.out, "No errors.\n");
}

TEST_P(CliAgainstSimulator, MonitorPollsAtTheGivenPeriod)
{
    const SCliRun monitor = Run({"monitor", m_descriptor, "--count", "2", "--period", "0.05"});
    ASSERT_EQ(monitor.exitCode, ExitOk) << monitor.err;
    const std::vector<std::string> out = Lines(monitor.out);
    ASSERT_EQ(out.size(), 3u) << monitor.out;
    EXPECT_THAT(out[2], HasSubstr("TEC: T 25.0"));
}

TEST_P(CliAgainstSimulator, MonitorPrintsEveryRefreshAndWritesCsvRows)
{
    const std::string csvPath = m_config.File("readings.csv");
    const SCliRun monitor = Run({"monitor", m_descriptor, "--count", "3", "--csv", csvPath});
    ASSERT_EQ(monitor.exitCode, ExitOk) << monitor.err;
    const std::vector<std::string> out = Lines(monitor.out);
    ASSERT_EQ(out.size(), 4u) << monitor.out;
    EXPECT_THAT(out[0], StartsWith("Connected to K760, S/N "));
    for (size_t index = 1; index < out.size(); ++index)
        EXPECT_THAT(out[index],
                    AllOf(HasSubstr("Z  TEC: T 25.0"), HasSubstr(" °C, R "), HasSubstr(", mode T")));

    std::ifstream file(csvPath);
    std::stringstream content;
    content << file.rdbuf();
    std::vector<std::string> rows = Lines(content.str());
    // The file says where it comes from before its columns; a column keeps one unit (the TEC is in T
    // mode: its T set point is filled, the R and ITE ones are empty).
    const auto columns =
        std::find_if(rows.begin(), rows.end(), [](const std::string& row) { return row[0] != '#'; });
    const std::string header =
        std::accumulate(rows.begin(), columns, std::string(),
                        [](std::string all, const std::string& row) { return all + row + "\n"; });
    EXPECT_THAT(header,
                AllOf(HasSubstr("# program: tamrix-cli "), HasSubstr("# model: K760\n"),
                      HasSubstr("# serial number: "), HasSubstr("# firmware: "),
                      HasSubstr("# port: " + m_descriptor + "\n"), HasSubstr("# channels: TEC\n"),
                      HasSubstr("# started: 20"), HasSubstr("; TEC R=kΩ;"), HasSubstr("; TEC T set=°C;")));
    rows.erase(rows.begin(), columns);
    ASSERT_EQ(rows.size(), 4u) << content.str();
    EXPECT_EQ(rows[0], "time,TEC T [°C],TEC R [kΩ],TEC ITE [A],TEC V [V],TEC T set [°C],TEC R set [kΩ],"
                       "TEC ITE set [A],TEC output,TEC mode,note");
    for (size_t index = 1; index < rows.size(); ++index)
    {
        EXPECT_EQ(Fields(rows[index]), Fields(rows[0])) << rows[index];
        EXPECT_THAT(rows[index], AllOf(StartsWith("20"), HasSubstr("Z,25.0"), EndsWith(",,,off,T,")));
    }
}

TEST_P(CliAgainstSimulator, SetPointIsSentWhilePolling)
{
    const SCliRun set = Run({"set", m_descriptor, "tec.t", "30"});
    EXPECT_EQ(set.exitCode, ExitOk) << set.err;
    EXPECT_GE(m_sim->Log().WaitForText("TEC:T 30.0", 5s), 0);
    EXPECT_EQ(m_sim->Request("TEC:SET:T?"), "30.000");
}

TEST_P(CliAgainstSimulator, SetPointOutsideTheLimitsIsRefusedAndNothingSent)
{
    const SCliRun set = Run({"set", m_descriptor, "tec.t", "300"});
    EXPECT_EQ(set.exitCode, ExitFailure);
    EXPECT_THAT(set.err,
                AllOf(HasSubstr("T set point (300.000000) out of range."), HasSubstr("tec.t was not sent")));
    for (const std::string& line : m_sim->Log().Lines())
        EXPECT_THAT(line, Not(HasSubstr("TEC:T 300")));
}

TEST_P(CliAgainstSimulator, InstrumentErrorAfterASetGivesExitCodeFour)
{
    m_sim->SetSensorFault(0, ESimSensorFault::Open);
    const SCliRun set = Run({"set", m_descriptor, "tec.output", "on"});
    EXPECT_EQ(set.exitCode, ExitInstrumentErrors) << set.out;
    EXPECT_THAT(set.err, HasSubstr("instrument error 402: TEC: Sensor open shutdown the output"));
}

TEST_P(CliAgainstSimulator, MonitorEndsWithExitCodeThreeWhenTheInstrumentGoesAway)
{
    auto monitor = std::async(std::launch::async,
                              [this] {
                                  return Run({"monitor", m_descriptor, "--count", "600"});
                              });
    // Polling has begun once the unit hears the poll's compound query.
    ASSERT_GE(m_sim->Log().WaitForText(":TEC:CHAN?;", 20s), 0);
    if (GetParam() == Transport::Tcp)
        m_sim->Stop();
    else
        ASSERT_TRUE(m_sim->Unplug());
    const SCliRun run = monitor.get();
    EXPECT_EQ(run.exitCode, ExitNoInstrument) << run.out;
    EXPECT_THAT(run.err, HasSubstr("the connection to the instrument was lost"));
}

INSTANTIATE_TEST_SUITE_P(Transports, CliAgainstSimulator, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info)
                         { return info.param == Transport::Tcp ? "Tcp" : "PtyAsComPort"; });

TEST(CliWithoutInstrument, PortWithNothingAttachedGivesTheSystemsMessages)
{
    TempDir config;
    PtyPair silent;
    ASSERT_EQ(RunCliProcess({"ports", "add", "9", silent.SlavePath()}, config.Path()).exitCode, ExitOk);
    for (const char* command : {"detect", "monitor", "set"})
    {
        std::vector<std::string> args{command, "COM:9:0"};
        if (std::string(command) == "set")
            args.insert(args.end(), {"tec.t", "20"});
        const SCliRun run = RunCliProcess(args, config.Path());
        EXPECT_EQ(run.exitCode, ExitNoInstrument) << command;
        EXPECT_EQ(run.err, std::string("tamrix-cli: ") + ConnectMessages::NoController + "\n") << command;
    }
    // Nothing registered as COM 10; nobody listening on the TCP port.
    const SCliRun unknownPort = RunCliProcess({"info", "COM:10:0"}, config.Path());
    EXPECT_EQ(unknownPort.exitCode, ExitNoInstrument);
    EXPECT_THAT(unknownPort.err, HasSubstr("Could not open COM port 10: no such port."));
    const SCliRun closedTcp = RunCliProcess({"query", "TCP:127.0.0.1:1", "*IDN?"}, config.Path());
    EXPECT_EQ(closedTcp.exitCode, ExitNoInstrument);
    EXPECT_THAT(closedTcp.err, HasSubstr("Unable to connect to TCP/IP port: connection refused"));
    // A query nobody answers on a port that stays open.
    const SCliRun unanswered =
        RunCliProcess({"query", "COM:9:0", "*IDN?", "--timeout", "200"}, config.Path());
    EXPECT_EQ(unanswered.exitCode, ExitNoInstrument);
    EXPECT_EQ(unanswered.err, "tamrix-cli: no reply within 200 ms\n");
}

TEST(CliWithoutInstrument, PortsAddedInOneRunAreListedAndRemovedInTheNext)
{
    TempDir config;
    PtyPair pty;
    ASSERT_EQ(RunCliProcess({"ports", "add", "12", pty.SlavePath()}, config.Path()).exitCode, ExitOk);
    EXPECT_THAT(RunCliProcess({"ports"}, config.Path()).out, HasSubstr(pty.SlavePath() + " (COM12)"));
    ASSERT_EQ(RunCliProcess({"ports", "remove", "12"}, config.Path()).exitCode, ExitOk);
    EXPECT_THAT(RunCliProcess({"ports"}, config.Path()).out, Not(HasSubstr("(COM12)")));
}

// A simulator's pty may be registered before the simulator runs.
TEST(CliWithoutInstrument, APathThatDoesNotExistYetIsAddedWithANote)
{
    TempDir config;
    const std::string later = config.Path() + "/k760-pty";
    const SCliRun added = RunCliProcess({"ports", "add", "14", later}, config.Path());
    EXPECT_EQ(added.exitCode, ExitOk) << added.err;
    EXPECT_THAT(added.err, HasSubstr(later + " does not exist (yet)"));
    EXPECT_EQ(added.out, "COM14 = " + later + "\n");
}

// Another program of the user stopped while it saved: the settings file's lock stays held.
TEST(CliWithoutInstrument, AHeldSettingsLockFailsPortsAddAndRemoveAfterABoundedWait)
{
    TempDir config;
    PtyPair pty;
    ASSERT_EQ(RunCliProcess({"ports", "add", "12", pty.SlavePath()}, config.Path()).exitCode, ExitOk);
    const std::string lockPath = config.Path() + "/Tamrix Instruments/Tamrix Control.ini.lock";
    const int holder = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"ports", "add", "13", pty.SlavePath()},
          std::vector<std::string>{"ports", "remove", "12"}})
    {
        const SCliRun run = RunCliProcess(args, config.Path(), 15000);
        EXPECT_EQ(run.exitCode, ExitFailure) << args[1];
        EXPECT_THAT(run.err, HasSubstr("\"" + lockPath + "\" is held by another process")) << args[1];
    }
    close(holder);
    const SCliRun listed = RunCliProcess({"ports"}, config.Path());
    EXPECT_THAT(listed.out, AllOf(HasSubstr("(COM12)"), Not(HasSubstr("(COM13)"))));
}

struct SUsageCase
{
    const char* name;
    std::vector<std::string> args;
    const char* message;
};

void PrintTo(const SUsageCase& row, std::ostream* out)
{
    *out << row.name;
}

class CliUsage : public ::testing::TestWithParam<SUsageCase>
{
};

TEST_P(CliUsage, ExitsWithCodeTwoAndSaysWhy)
{
    TempDir config;
    const SCliRun run = RunCliProcess(GetParam().args, config.Path());
    EXPECT_EQ(run.exitCode, ExitUsage);
    EXPECT_THAT(run.err, HasSubstr(GetParam().message));
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliUsage,
    ::testing::Values(
        SUsageCase{"NoCommand", {}, "no command given"},
        SUsageCase{"UnknownCommand", {"reboot"}, "unknown command \"reboot\""},
        SUsageCase{"MissingDescriptor", {"detect"}, "detect: missing DESCRIPTOR"},
        SUsageCase{"ExtraArgument", {"errors", "TCP:h:1", "more"}, "unexpected argument \"more\""},
        SUsageCase{"NotADescriptor", {"detect", "ttyUSB0"}, "is not a port descriptor"},
        SUsageCase{"SignedPortNumber", {"detect", "COM:+93:0"}, "\"COM:+93:0\" is not a port descriptor"},
        SUsageCase{"NegativePortNumber", {"info", "COM:-93:0"}, "\"COM:-93:0\" is not a port descriptor"},
        SUsageCase{"PortNumberAbove255", {"info", "COM:256:0"}, "\"COM:256:0\" is not a port descriptor"},
        SUsageCase{"TcpPortAbove65535",
                   {"query", "TCP:127.0.0.1:99999", "*IDN?"},
                   "\"TCP:127.0.0.1:99999\" is not a port descriptor"},
        SUsageCase{"UnknownOption", {"monitor", "TCP:h:1", "--rate", "2"}, "unknown option \"--rate\""},
        SUsageCase{"CountZero", {"monitor", "TCP:h:1", "--count", "0"}, "--count needs a whole number"},
        SUsageCase{"OptionWithoutValue", {"monitor", "TCP:h:1", "--csv"}, "--csv needs a value"},
        SUsageCase{"PeriodBelowTheFloor",
                   {"monitor", "TCP:h:1", "--period", "0.001"},
                   "--period needs a number of seconds from 0.01 to 3600"},
        SUsageCase{"PeriodNotANumber", {"monitor", "TCP:h:1", "--period", "fast"}, "--period needs"},
        SUsageCase{"UnknownSetting", {"set", "TCP:h:1", "tec.q", "1"}, "unknown setting \"tec.q\""},
        SUsageCase{"DecimalComma", {"set", "TCP:h:1", "tec.t", "25,5"}, "\"25,5\" is no value for tec.t"},
        SUsageCase{"UnknownMode", {"set", "TCP:h:1", "las.mode", "CW"}, "is no value for las.mode"},
        SUsageCase{"ChannelZero", {"set", "TCP:h:1", "tec.t", "20", "--channel", "0"}, "--channel"},
        SUsageCase{"PortOutOfRange", {"ports", "add", "256", "/dev/null"}, "no port number (1 to 255)"},
        SUsageCase{"PortsAddWithoutPath", {"ports", "add", "3"}, "usage: tamrix-cli ports add N PATH"},
        SUsageCase{
            "PortsAddNullDevice", {"ports", "add", "3", "/dev/null"}, "\"/dev/null\" is not a terminal"},
        SUsageCase{
            "PortsAddPlainFile", {"ports", "add", "3", "/etc/passwd"}, "\"/etc/passwd\" is not a terminal"},
        SUsageCase{"PortsAddFolder", {"ports", "add", "3", "/"}, "\"/\" is not a terminal"},
        SUsageCase{"BadTimeout", {"query", "TCP:h:1", "x", "--timeout", "soon"}, "--timeout needs"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliHelp, EveryCommandAnswersHelpWithItsUsage)
{
    TempDir config;
    for (const SCliCommand& command : CliCommandTable())
    {
        const SCliRun run = RunCliProcess({command.syntax.name, "--help"}, config.Path());
        EXPECT_EQ(run.exitCode, ExitOk) << command.syntax.name;
        EXPECT_THAT(run.out, StartsWith("usage: tamrix-cli " + command.syntax.name)) << command.syntax.name;
    }
    const SCliRun overview = RunCliProcess({"--help"}, config.Path());
    EXPECT_EQ(overview.exitCode, ExitOk);
    EXPECT_THAT(overview.out, AllOf(HasSubstr("  monitor   "), HasSubstr("exit codes:")));
}
} // namespace
