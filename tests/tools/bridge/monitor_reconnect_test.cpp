// tamrix-cli monitor --reconnect: the monitor goes on with the same instrument after it was unplugged
// and came back under another port number.
#include "ChildProcess.h"
#include "CliProcess.h"
#include "SimInstrument.h"
#include "diag/TempDir.h"
#include "support/Eventually.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

namespace
{
TEST(MonitorReconnect, GoesOnWithTheSameInstrumentUnderAnotherPortNumber)
{
    TempDir dir;
    auto sim = CSimInstrument::Create("K760");
    std::string error;
    ASSERT_TRUE(sim->StartPty("", error)) << error;
    ASSERT_EQ(RunCliProcess({"ports", "add", "43", sim->PtyPath()}, dir.Path()).exitCode, 0);
    const std::string log = dir.File("monitor.log");
    CChildProcess monitor;
    const std::string csv = dir.File("readings.csv");
    ASSERT_TRUE(
        monitor.Start({TAMRIX_CLI_EXE, "monitor", "COM:43:0", "--reconnect", "--count", "3", "--csv", csv},
                      {"XDG_CONFIG_HOME=" + dir.Path()}, log));
    auto logged = [&log](const char* text) { return ReadFile(log).find(text) != std::string::npos; };
    ASSERT_TRUE(Eventually([&] { return logged("Z  TEC: T "); }, 20000)) << ReadFile(log);

    ASSERT_TRUE(sim->Unplug());
    ASSERT_TRUE(Eventually([&] { return logged("waiting for it to come back"); }, 20000)) << ReadFile(log);
    ASSERT_EQ(RunCliProcess({"ports", "remove", "43"}, dir.Path()).exitCode, 0);
    ASSERT_TRUE(sim->Replug(error)) << error;
    ASSERT_EQ(RunCliProcess({"ports", "add", "44", sim->PtyPath()}, dir.Path()).exitCode, 0);

    EXPECT_EQ(monitor.Wait(30000), 0) << ReadFile(log);
    const std::string output = ReadFile(log);
    EXPECT_THAT(output, HasSubstr("Connected again on COM:44:0\n"));
    EXPECT_THAT(output.substr(output.find("Connected again")), HasSubstr("Z  TEC: T "));
    // One file across the reconnect: its header once, the gap marked, rows of readings after it.
    const std::string rows = ReadFile(csv);
    EXPECT_EQ(rows.find("# readings log"), 0u) << rows;
    EXPECT_EQ(rows.find("# readings log", 1), std::string::npos) << rows;
    const size_t gap = rows.find(",gap: connection lost\n");
    ASSERT_NE(gap, std::string::npos) << rows;
    EXPECT_THAT(rows.substr(gap), testing::ContainsRegex("\n20[-0-9T:.]+Z,[0-9]+\\.[0-9]+,"));
}

TEST(MonitorReconnect, WithoutTheOptionALostConnectionEndsTheMonitor)
{
    TempDir dir;
    auto sim = CSimInstrument::Create("K760");
    std::string error;
    ASSERT_TRUE(sim->StartPty("", error)) << error;
    ASSERT_EQ(RunCliProcess({"ports", "add", "45", sim->PtyPath()}, dir.Path()).exitCode, 0);
    const std::string log = dir.File("monitor.log");
    CChildProcess monitor;
    ASSERT_TRUE(
        monitor.Start({TAMRIX_CLI_EXE, "monitor", "COM:45:0"}, {"XDG_CONFIG_HOME=" + dir.Path()}, log));
    ASSERT_TRUE(Eventually([&] { return ReadFile(log).find("Z  TEC: T ") != std::string::npos; }, 20000));
    ASSERT_TRUE(sim->Unplug());
    EXPECT_EQ(monitor.Wait(20000), 3) << ReadFile(log);
    EXPECT_THAT(ReadFile(log), HasSubstr("the connection to the instrument was lost"));
}
} // namespace
