// The single-channel models against simulated units: what their connect finds out, the commands
// they add to the family and the bounds their firmware builds impose.
#include "SimInstrument.h"
#include "SimModelTable.h"
#include "comm/PortResolver.h"
#include "instrument/combined/X510.h"
#include "instrument/laser/LaserProtocol.h"
#include "instrument/models/D310.h"
#include "instrument/models/D312.h"
#include "instrument/models/D710.h"
#include "instrument/models/K196.h"
#include "instrument/models/K760.h"
#include "instrument/models/K910.h"
#include "instrument/tec/TecTypes.h"
#include "instrument/valuebags/ValuesBag.h"
#include "support/Eventually.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace
{
using namespace std::chrono_literals;

constexpr int kSessionTimeoutMs = 300;

// One simulated unit on a pseudo-terminal under a port number of its own.
class SimulatedUnit
{
public:
    SimulatedUnit(const SSimModel& model, int portNumber)
        : m_sim(std::make_unique<CSimInstrument>(model)), m_port(portNumber)
    {
        std::string error;
        m_started = m_sim->StartPty("", error) && CPortResolver::Register(m_port, m_sim->PtyPath());
    }
    ~SimulatedUnit()
    {
        m_sim->Stop();
        CPortResolver::Unregister(m_port);
    }

    bool Connect(CInstrBase& instrument)
    {
        instrument.SetDefaultTimeout(kSessionTimeoutMs);
        return m_started && instrument.Connect("COM:" + std::to_string(m_port) + ":38400");
    }
    CSimInstrument& Sim() { return *m_sim; }

private:
    std::unique_ptr<CSimInstrument> m_sim;
    int m_port;
    bool m_started = false;
};

SSimModel Model(const char* name)
{
    const SSimModel* model = CSimModelTable::Find(name);
    return model ? *model : SSimModel{};
}

// The D310 connects as the family does: no pulse probe, one error-queue read after the readings.
TEST(LaserModelsOnSimulator, D310ConnectIsTheFamilysWithOneErrorReadLast)
{
    SimulatedUnit unit(Model("D310"), 191);
    CD310 d310;
    ASSERT_TRUE(unit.Connect(d310));
    const std::vector<std::string> lines = unit.Sim().Log().Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("LAS:F?") != std::string::npos; }),
              0);
    const auto readings = std::find(lines.begin(), lines.end(), "LAS:LDI?");
    ASSERT_NE(readings, lines.end());
    EXPECT_EQ(std::count(readings, lines.end(), "ERR?"), 1);
    EXPECT_EQ(lines.back(), "ERR?");

    EXPECT_FALSE(d310.IsPulseCapable());
    EXPECT_FALSE(d310.IsModeSupported(LaserModePulse));
    EXPECT_TRUE(d310.IsModeSupported(LaserModeICW));
    // The mode rule itself: pulse modes with the flag, BURST from build 62.
    d310.SetPulseCapable(true);
    EXPECT_TRUE(d310.IsModeSupported(LaserModeBurst));
    EXPECT_EQ(d310.GetErrorCount(), 0);
    d310.Disconnect();
}

// A unit whose connect does not read the mode (firmware 2) still takes and reports its set point
// before the first poll, and while polling a set point the poll has not brought yet is asked for.
TEST(LaserModelsOnSimulator, D312SetPointBeforeAndWithoutAGoodPoll)
{
    SimulatedUnit unit(Model("D312"), 121);
    CD312 d312;
    ASSERT_TRUE(unit.Connect(d312));
    ASSERT_TRUE(d312.SetSetPoint(123.0));
    EXPECT_GE(unit.Sim().Log().WaitForText("LAS:LDI 123.000000", 0ms), 0);
    EXPECT_FLOAT_EQ(d312.GetSetPoint(), 123.0f);

    // Every poll is refused as another channel's: the caches stay empty.
    unit.Sim().Faults().wrongChannel = true;
    ASSERT_TRUE(d312.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return d312.GetFailedPolls() >= 1; }, 5000));
    EXPECT_NE(d312.GetMode(false), LaserModeNone);
    EXPECT_FLOAT_EQ(d312.GetLDISetPoint(), 123.0f);
    EXPECT_FLOAT_EQ(d312.GetSetPoint(), 123.0f);
    EXPECT_NE(d312.GetMDPSetPoint(), CLaser::NoValue);
    d312.Disconnect();
}

// The stored factory values are 32-bit floats in the model's table: fractions survive the round trip.
TEST(LaserModelsOnSimulator, StoredValuesKeepTheirFractions)
{
    SimulatedUnit unit(Model("D312"), 122);
    CD312 d312;
    ASSERT_TRUE(unit.Connect(d312));
    ASSERT_TRUE(d312.SetStoredValue(CLaser::StoredValue370011, 1.25f));
    ASSERT_TRUE(d312.SetStoredValue(CLaser::StoredValue370031, -0.375f));
    d312.GetValueBag()->Forget(); // read back from the unit, not from the bag's copy
    EXPECT_FLOAT_EQ(d312.GetStoredValue(CLaser::StoredValue370011).value_or(0.0f), 1.25f);
    EXPECT_FLOAT_EQ(d312.GetStoredValue(CLaser::StoredValue370031).value_or(0.0f), -0.375f);
    d312.Disconnect();
}

TEST(LaserModelsOnSimulator, D710ConnectReadsItsCapabilitiesAndTheFineLdvLimit)
{
    SimulatedUnit unit(Model("D710"), 193); // build 48, firmware revision 3, remote set
    CD710 d710;
    ASSERT_TRUE(unit.Connect(d710));
    EXPECT_TRUE(d710.IsPulseCapable());
    EXPECT_FALSE(d710.IsModeSupported(LaserModeBurst));
    EXPECT_TRUE(d710.IsModeSupported(LaserModeTrig));
    EXPECT_TRUE(d710.HasExtendedFeatures());
    EXPECT_TRUE(d710.HasRemoteSetControl());
    EXPECT_EQ(d710.GetErrorCount(), 0);

    ASSERT_TRUE(d710.SetLDVLimit(2.34567));
    EXPECT_NEAR(d710.GetLDVLimit(), 2.34567, 1e-5);
    EXPECT_GE(unit.Sim().Log().WaitForText("SETEXTENDEDRES 1;LAS:LIM:LDV?;SETEXTENDEDRES 0", 0ms), 0);

    // Polled with its flag, the limit is answered from the cache, and a new limit replaces it there.
    d710.SetExtraPollFlags(LaserPollBits(CD710::LaserPollLDVLimit));
    ASSERT_TRUE(d710.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return d710.IsFirstCycleDone(); }, 5000));
    const size_t before = unit.Sim().Log().Count();
    EXPECT_NEAR(d710.GetLDVLimit(), 2.34567, 1e-5);
    ASSERT_TRUE(d710.SetLDVLimit(3.5));
    EXPECT_FLOAT_EQ(d710.GetLDVLimit(), 3.5f);
    EXPECT_LT(unit.Sim().Log().WaitForText("LAS:LIM:LDV?", 0ms, before), 0);
    d710.Disconnect();
}

TEST(LaserModelsOnSimulator, D312ConnectsWithoutPulseModes)
{
    SimulatedUnit unit(Model("D312"), 194);
    CD312 d312;
    ASSERT_TRUE(unit.Connect(d312));
    EXPECT_FALSE(d312.IsModeSupported(LaserModePulse));
    EXPECT_TRUE(d312.HasDualRange());
    ASSERT_TRUE(d312.SetRange(0));
    EXPECT_EQ(d312.GetRange(), 0);
    d312.Disconnect();
}

TEST(TecModelsOnSimulator, K760SensorConstantsTravelPerSensor)
{
    SimulatedUnit unit(Model("K760"), 195);
    CK760 k760;
    ASSERT_TRUE(unit.Connect(k760));
    // Steinhart-Hart constants as they are: C near 1e-7 must not travel as 0.000000.
    ASSERT_TRUE(k760.SetThermistorConstants(2, 1.125e-3f, 2.347e-4f, 8.566e-8f));
    EXPECT_GE(unit.Sim().Log().WaitForText("TEC:CONSTIDX 3,1,0.001125000,0.0002347000,0.00000008566000", 0ms),
              0);
    float a = 0, b = 0, c = 0;
    ASSERT_TRUE(k760.GetThermistorConstants(2, a, b, c));
    EXPECT_FLOAT_EQ(a, 1.125e-3f);
    EXPECT_FLOAT_EQ(b, 2.347e-4f);
    EXPECT_NEAR(c, 8.566e-8f, 1e-13);

    ASSERT_TRUE(k760.SetRTDConstants(0, 3.9083e-3f, -5.775e-7f, -4.183e-12f, 100.0f));
    float r0 = 0;
    ASSERT_TRUE(k760.GetRTDConstants(0, a, b, c, r0));
    EXPECT_FLOAT_EQ(a, 3.9083e-3f);
    EXPECT_NEAR(c, -4.183e-12f, 1e-17);
    EXPECT_FLOAT_EQ(r0, 100.0f);
    // Another sensor's set is its own.
    ASSERT_TRUE(k760.GetThermistorConstants(3, a, b, c));
    EXPECT_NE(a, 1.125e-3f);
    k760.Disconnect();
}

// The T set point lock is one operation, which the K910 answers through the family's interface: the
// simulated unit stores no capability word, so its T settings group is hidden and the set point locked.
TEST(TecModelsOnSimulator, K910AnswersTheTSetPointLockThroughTheFamily)
{
    SimulatedUnit unit(Model("K910"), 123);
    CK910 k910;
    ASSERT_TRUE(unit.Connect(k910));
    CTEC& tec = k910;
    EXPECT_TRUE(tec.IsTSetPointLocked());
    k910.Disconnect();
}

struct SStopCase
{
    const char* model;
    int portNumber;
    std::function<std::unique_ptr<CInstrBase>()> create;
};

class StopMidCycle : public ::testing::TestWithParam<SStopCase>
{
};

// The user disconnects while the unit has stopped answering mid-cycle: the cycle the stop cut short
// is not a failed poll, for either family and for a combined unit's sides.
TEST_P(StopMidCycle, IsNoFailedPoll)
{
    SimulatedUnit unit(Model(GetParam().model), GetParam().portNumber);
    std::unique_ptr<CInstrBase> instrument = GetParam().create();
    ASSERT_TRUE(unit.Connect(*instrument));
    ASSERT_TRUE(instrument->StartBackgroundThread(0));
    instrument->ClearUserFlag();
    ASSERT_TRUE(
        Eventually([&] { return instrument->IsFirstCycleDone() && instrument->GetUserFlag(); }, 5000));
    ASSERT_EQ(instrument->GetFailedPolls(), 0);

    const size_t before = unit.Sim().Log().Count();
    unit.Sim().Faults().dropEvery = 1;
    // A poll line has gone out and its reply will not come: the cycle waits, it has not failed yet.
    ASSERT_GE(unit.Sim().Log().WaitFor(
                  [](const std::string& l) { return l.find("CHAN?") != std::string::npos; }, 2000ms, before),
              0);
    ASSERT_TRUE(instrument->StopBackgroundThread(5000));
    EXPECT_EQ(instrument->GetFailedPolls(), 0);
    instrument->Disconnect();
}

INSTANTIATE_TEST_SUITE_P(Families, StopMidCycle,
                         ::testing::Values(SStopCase{"K760", 125, [] { return std::make_unique<CK760>(); }},
                                           SStopCase{"D312", 126, [] { return std::make_unique<CD312>(); }},
                                           SStopCase{"X510", 127, [] { return std::make_unique<CX510>(); }}),
                         [](const auto& info) { return std::string(info.param.model); });

struct SLm335Case
{
    const char* model;
    int portNumber;
    double maxR; // [mV]
};

class Lm335Ceiling : public ::testing::TestWithParam<SLm335Case>
{
};

// Build 330 (K196) reads LM335 sensors up to 4250 mV, build 331 (K760) up to 4730 mV.
TEST_P(Lm335Ceiling, FollowsTheBuild)
{
    SimulatedUnit unit(Model(GetParam().model), GetParam().portNumber);
    std::unique_ptr<CK760> tec =
        std::string(GetParam().model) == "K196" ? std::make_unique<CK196>() : std::make_unique<CK760>();
    ASSERT_TRUE(unit.Connect(*tec));
    EXPECT_EQ(tec->GetMaxR(SensorLM335), GetParam().maxR);
    ASSERT_TRUE(tec->SetSensorType(SensorLM335));
    ASSERT_TRUE(tec->SetRLowLimit(2000.0f));
    const size_t before = unit.Sim().Log().Count();
    EXPECT_EQ(tec->SetRHighLimit(4300.0f), GetParam().maxR > 4300.0);
    const bool sent = unit.Sim().Log().WaitForText("TEC:LIM:RHI 4300.000000", 0ms, before) >= 0;
    EXPECT_EQ(sent, GetParam().maxR > 4300.0);
    tec->Disconnect();
}

INSTANTIATE_TEST_SUITE_P(Builds, Lm335Ceiling,
                         ::testing::Values(SLm335Case{"K196", 196, 4250.0}, SLm335Case{"K760", 197, 4730.0}),
                         [](const auto& info) { return std::string(info.param.model); });
} // namespace
