// Combined laser and TEC units: the connect that keeps both sides current, failed polls of either
// side, and both sides polled against the simulated units.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/combined/X19.h"
#include "instrument/combined/X510.h"
#include "support/Eventually.h"
#include "support/ScriptedUnit.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace
{
using namespace std::chrono_literals;

// An X510 that answers every query of the connect and of both polls.
void ScriptCombinedUnit(ScriptedUnit& unit)
{
    unit.ScriptIdentity("Tamrix Instruments,X510", "3.5.22.36", "X510", "B36", "v3.1.0");
    const std::pair<const char*, const char*> answers[] = {
        {":LAS:MODE?", "IHBW"},
        {"LAS:OUT?", "0"},
        {"LAS:LDI?", "12.50"},
        {"LAS:MDI?", "3.1"},
        {"LAS:MDP?", "0.42"},
        {"LAS:LDV?", "1.234"},
        {":TEC:MODE?", "T"},
        {"TEC:OUT?", "1"},
        {":TEC:ITE?", "0.512"},
        {":TEC:R?", "10.021"},
        {":TEC:T?", "24.98"},
        {":TEC:V?", "1.05"},
        // the two polls
        {":TEC:CHAN?", "0"},
        {"ITE?", "0.512"},
        {"R?", "10.021"},
        {"T?", "24.98"},
        {"SET:ITE?", "0.5"},
        {"SET:R?", "10.0"},
        {"SET:T?", "25.0"},
        {":TEC:OUT?", "1"},
        {":TEC:COND?", "0"},
        {":LAS:CHAN?", "0"},
        {":LAS:I?", "12.50"},
        {":LAS:SET:I?", "12.5"},
        {":LAS:MDI?", "3.1"},
        {":LAS:SET:MDI?", "0"},
        {":LAS:MDP?", "0.42"},
        {":LAS:SET:MDP?", "0"},
        {":LAS:LDV?", "1.234"},
        {":LAS:SET:LDV?", "0"},
        {":LAS:OUT?", "0"},
        {":LAS:VBULK?", "5.0"},
    };
    for (const auto& [query, answer] : answers)
        unit.SetAnswer(query, answer);
}

class CombinedConnect : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        ScriptCombinedUnit(unit);
        unit.StartSerial();
        // Unanswered queries end at this time-out instead of the default 2 s.
        x510.SetDefaultTimeout(300);
    }
    void TearDown() override { x510.Disconnect(); }

    ScriptedUnit unit;
    CX510 x510;
};

TEST_F(CombinedConnect, BringsBothSidesCurrent)
{
    ASSERT_TRUE(x510.Connect(unit.SerialDescriptor(38400)));
    EXPECT_EQ(unit.Count(":TEC:MODE?"), 1u);
    EXPECT_EQ(unit.Count(":LAS:MODE?"), 1u);
    CTEC& tec = x510;
    CLaser& laser = x510;
    EXPECT_EQ(tec.GetMode(), TecModeT);
    EXPECT_TRUE(tec.GetOutput());
    EXPECT_EQ(tec.GetPrecision(TecQuantityT), 2);
    EXPECT_EQ(laser.GetLDIPrecision(), 2);
    EXPECT_EQ(laser.GetLDVPrecision(), 3);
    EXPECT_TRUE(laser.IsQCWSupported());
    EXPECT_TRUE(tec.IsAutoTuneSupported());
}

// A reading of either side lost at connect does not fail it: the unit is identified, and the poll
// brings what the connect missed, as on every other family.
TEST_P(CombinedConnect, ConnectsWhenOneSideReadingIsLost)
{
    unit.RemoveAnswer(GetParam());
    ASSERT_TRUE(x510.Connect(unit.SerialDescriptor(38400)));
    EXPECT_TRUE(x510.IsPortOpen());
    ScriptCombinedUnit(unit);
    ASSERT_TRUE(x510.StartBackgroundThread(0));
    x510.ClearUserFlag();
    ASSERT_TRUE(Eventually([&] { return x510.IsFirstCycleDone() && x510.GetUserFlag(); }, 5000));
    EXPECT_EQ(x510.GetFailedPolls(), 0);
    CTEC& tec = x510;
    CLaser& laser = x510;
    EXPECT_NE(tec.GetV(), CTEC::NoValue);
    EXPECT_NE(laser.GetLDV(false), CLaser::NoValue);
}

TEST_F(CombinedConnect, FailsWhenIdentificationFails)
{
    unit.RemoveAnswer("*IDN?");
    EXPECT_FALSE(x510.Connect(unit.SerialDescriptor(38400)));
    EXPECT_FALSE(x510.IsPortOpen());
}

INSTANTIATE_TEST_SUITE_P(Sides, CombinedConnect,
                         ::testing::Values(":TEC:MODE?", ":TEC:V?", ":LAS:MODE?", "LAS:LDV?"),
                         [](const auto& info)
                         {
                             std::string name;
                             for (const char c : std::string(info.param))
                                 if (std::isalnum(static_cast<unsigned char>(c)))
                                     name += c;
                             return name;
                         });

// A good laser poll in the same cycle does not hide a TEC side that stopped answering for its channel.
TEST_F(CombinedConnect, FailedTecPollsSurviveGoodLaserPolls)
{
    ASSERT_TRUE(x510.Connect(unit.SerialDescriptor(38400)));
    ASSERT_TRUE(x510.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return x510.IsFirstCycleDone(); }));
    EXPECT_EQ(x510.GetFailedPolls(), 0);

    unit.SetAnswer(":TEC:CHAN?", "3");
    EXPECT_TRUE(Eventually([&] { return x510.GetFailedPolls() >= 2; }, 5000));

    unit.SetAnswer(":TEC:CHAN?", "0");
    EXPECT_TRUE(Eventually([&] { return x510.GetFailedPolls() == 0; }, 5000));
}

struct SComboRow
{
    const char* model;
    int portNumber; // unique per case: cases may run in parallel
    bool dualRange;
    bool featureFlag;
};

class ComboOnSimulator : public ::testing::TestWithParam<SComboRow>
{
protected:
    void SetUp() override
    {
        sim = CSimInstrument::Create(GetParam().model);
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->StartPty("", error)) << error;
        ASSERT_TRUE(CPortResolver::Register(GetParam().portNumber, sim->PtyPath()));
        if (std::string(GetParam().model) == "X19")
            unit = std::make_unique<CX19>();
        else
            unit = std::make_unique<CX510>();
    }
    void TearDown() override
    {
        if (unit)
            unit->Disconnect();
        sim->Stop();
        CPortResolver::Unregister(GetParam().portNumber);
    }

    std::unique_ptr<CSimInstrument> sim;
    std::unique_ptr<CX510> unit;
};

TEST_P(ComboOnSimulator, ConnectsAndPollsBothSidesWithoutPrefix)
{
    ASSERT_TRUE(unit->Connect("COM:" + std::to_string(GetParam().portNumber) + ":38400"));
    CLaser& laser = *unit;
    EXPECT_EQ(laser.HasDualRange(), GetParam().dualRange);
    EXPECT_EQ(laser.GetFeatureFlag(0), GetParam().featureFlag);
    EXPECT_FALSE(laser.IsModeSupported(LaserModePulse));
    EXPECT_TRUE(laser.IsModeSupported(LaserModeLDV));

    const size_t before = sim->Log().Count();
    ASSERT_TRUE(unit->StartBackgroundThread(0));
    // Two cycles, so that the first complete one ran after the thread's opening error check.
    unit->ClearUserFlag();
    ASSERT_TRUE(Eventually([&] { return unit->IsFirstCycleDone() && unit->GetUserFlag(); }, 5000));
    EXPECT_EQ(unit->GetFailedPolls(), 0);
    EXPECT_GE(sim->Log().WaitFor([](const std::string& l) { return l.rfind(":TEC:CHAN?;", 0) == 0; }, 2000ms,
                                 before),
              0);
    EXPECT_GE(sim->Log().WaitFor([](const std::string& l) { return l.rfind(":LAS:CHAN?;", 0) == 0; }, 2000ms,
                                 before),
              0);
    CTEC& tec = *unit;
    EXPECT_NE(tec.GetT(), CTEC::NoValue);
    EXPECT_NE(laser.GetLDV(false), CLaser::NoValue);
}

INSTANTIATE_TEST_SUITE_P(Models, ComboOnSimulator,
                         ::testing::Values(SComboRow{"X510", 161, true, true},
                                           SComboRow{"X19", 162, false, false}),
                         [](const auto& info) { return std::string(info.param.model); });
} // namespace
