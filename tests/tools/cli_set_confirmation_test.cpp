// "tamrix-cli set" when the unit's confirmation of a setting is lost: it says that the setting went
// out, asks the unit what it holds and exits by what the unit answered.
#include "CliArgs.h"
#include "CliProcess.h"
#include "SimInstrument.h"
#include "diag/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using ::testing::Not;

namespace
{
// What the unit does with "TEC:T": takes it or ignores it, and then loses every reply (from the
// error check's on) until a set point is asked for, or for good.
enum class ELoss
{
    UntilAsked,
    IgnoredUntilAsked,
    ForGood,
};

class CliSetConfirmation : public ::testing::Test
{
protected:
    std::string Start(ELoss loss)
    {
        m_sim = CSimInstrument::Create("K760");
        std::string error;
        if (!m_sim || !m_sim->StartTcp("127.0.0.1", 0, error))
            return {};
        m_sim->Engine().WithRegistry(
            [loss](CSimCommandRegistry& registry)
            {
                const CSimCommandRegistry::Handler set = *registry.Find("TEC:T");
                const CSimCommandRegistry::Handler ask = *registry.Find("TEC:SET:T?");
                registry.Add("TEC:T",
                             [set, loss](CSimUnit& unit, int channel, std::string_view args)
                             {
                                 const SSimResult result = loss == ELoss::IgnoredUntilAsked
                                                               ? SSimResult::Done()
                                                               : set(unit, channel, args);
                                 unit.Faults().dropEvery = 1;
                                 unit.Faults().silent = loss == ELoss::ForGood;
                                 return result;
                             });
                registry.Add("TEC:SET:T?",
                             [ask](CSimUnit& unit, int channel, std::string_view args)
                             {
                                 unit.Faults().dropEvery = 0;
                                 return ask(unit, channel, args);
                             });
            });
        return "TCP:127.0.0.1:" + std::to_string(m_sim->TcpPort());
    }
    SCliRun Run(const std::vector<std::string>& args) { return RunCliProcess(args, m_config.Path(), 90000); }
    std::string UnitSetPoint()
    {
        m_sim->Faults().silent = false;
        m_sim->Faults().dropEvery = 0;
        return m_sim->Request("TEC:SET:T?");
    }

    TempDir m_config;
    std::unique_ptr<CSimInstrument> m_sim;
};
} // namespace

TEST_F(CliSetConfirmation, ALostConfirmationIsReadBackAndTheValueTheUnitTookIsSuccess)
{
    const std::string descriptor = Start(ELoss::UntilAsked);
    ASSERT_FALSE(descriptor.empty());
    const SCliRun run = Run({"set", descriptor, "tec.t", "33"});
    EXPECT_EQ(run.exitCode, ExitOk) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("tec.t 33: sent, not confirmed; read back, the instrument holds 33.000"));
    EXPECT_THAT(run.err, Not(HasSubstr("not sent")));
    EXPECT_EQ(UnitSetPoint(), "33.000");
}

TEST_F(CliSetConfirmation, AValueTheUnitDidNotTakeIsReportedAsWhatItHolds)
{
    const std::string descriptor = Start(ELoss::IgnoredUntilAsked);
    ASSERT_FALSE(descriptor.empty());
    const std::string before = UnitSetPoint();
    ASSERT_NE(before, "33.000");
    const SCliRun run = Run({"set", descriptor, "tec.t", "33"});
    EXPECT_EQ(run.exitCode, ExitFailure) << run.out << run.err;
    EXPECT_THAT(run.err,
                HasSubstr("tec.t 33: sent, not confirmed; read back, the instrument holds " + before));
}

TEST_F(CliSetConfirmation, AUnitThatFallsSilentAfterTheCommandLeavesTheValueUnknown)
{
    const std::string descriptor = Start(ELoss::ForGood);
    ASSERT_FALSE(descriptor.empty());
    const SCliRun run = Run({"set", descriptor, "tec.t", "33"});
    EXPECT_EQ(run.exitCode, ExitUnconfirmed) << run.out << run.err;
    EXPECT_THAT(run.err,
                HasSubstr("tec.t 33: sent, not confirmed; the instrument did not answer a read-back"));
    EXPECT_THAT(run.err, Not(HasSubstr("not sent")));
    // It did go out: the unit holds it.
    EXPECT_EQ(UnitSetPoint(), "33.000");
}
