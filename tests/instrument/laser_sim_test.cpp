#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/laser/Laser.h"
#include "instrument/laser/LaserProtocol.h"
#include "instrument/valuebags/ValuesBagEED312.h"
#include "support/CaptureSink.h"
#include "support/Eventually.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace
{
using namespace std::chrono_literals;

constexpr int kPortNumber = 231; // this test's own port number

double SimNumber(CSimInstrument& sim, const char* query)
{
    return LaserProtocol::ParseNumber(sim.Request(query)).value_or(-1.0);
}

// The family class with the answers a two-range model gives.
class DualRangeLaser : public CLaser
{
public:
    bool HasDualRange() const override { return true; }
    bool HasRemoteSetControl() const override { return true; }
};

template <typename Laser, const char* Model>
class LaserOnSimulatorT : public testing::Test
{
protected:
    void SetUp() override
    {
        sim = CSimInstrument::Create(Model);
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->StartPty("", error)) << error;
        ASSERT_TRUE(CPortResolver::Register(kPortNumber, sim->PtyPath()));
    }

    void TearDown() override
    {
        laser.Disconnect();
        CPortResolver::Unregister(kPortNumber);
    }

    std::unique_ptr<CSimInstrument> sim;
    Laser laser;
};

constexpr char kD310[] = "D310";
constexpr char kD312[] = "D312";
using LaserOnSimulator = LaserOnSimulatorT<CLaser, kD310>;
using DualRangeOnSimulator = LaserOnSimulatorT<DualRangeLaser, kD312>;
} // namespace

TEST_F(LaserOnSimulator, ConnectReadsStateAndPollFollowsTheDiode)
{
    CaptureSink trace;
    ASSERT_TRUE(laser.Connect("COM:" + std::to_string(kPortNumber) + ":38400"));
    EXPECT_EQ(laser.GetModel(), "D310");
    // The connect step read every reading once: precisions now come from the unit's replies.
    EXPECT_EQ(laser.GetLDIPrecision(), LaserProtocol::CountDecimals(sim->Request("LAS:LDI?")));

    ASSERT_TRUE(laser.StartBackgroundThread(0));
    ASSERT_TRUE(laser.SetMode(LaserModeICW));
    ASSERT_TRUE(laser.SetLDILimit(400.7));
    ASSERT_TRUE(laser.SetLDI(150.0));
    ASSERT_TRUE(laser.SetOutput(true));
    EXPECT_EQ(sim->Log().WaitForText("LAS:LIM:LDI 400", 2s) >= 0, true);

    // The diode's current ramps to the set point; the cached reading follows it.
    EXPECT_TRUE(Eventually([&] { return std::fabs(laser.GetLDI(false) - 150.0f) < 0.5f; }, 5000))
        << "LDI " << laser.GetLDI(false);
    EXPECT_TRUE(laser.GetOutput(false));
    EXPECT_EQ(laser.GetMode(false), LaserModeICW);

    // A few seconds of polling: every cycle accepted, readings as the unit reports them.
    const size_t from = sim->Log().Count();
    EXPECT_GE(sim->Log().WaitFor([](const std::string& line) { return line.starts_with(":LAS:CHAN?;"); }, 5s,
                                 from + 40),
              0);
    EXPECT_EQ(laser.GetFailedPolls(), 0);
    EXPECT_EQ(trace.Count("Error detected, or missing data!", true), 0u);
    EXPECT_NEAR(laser.GetLDV(true), SimNumber(*sim, "LAS:LDV?"), 0.05);
    EXPECT_NEAR(laser.GetMDI(false), SimNumber(*sim, "LAS:MDI?"), 0.02 * SimNumber(*sim, "LAS:MDI?") + 1.0);
    EXPECT_GT(laser.GetMDP(false), 0.0f);
    EXPECT_GT(laser.GetVBulk(), 0.0f);
    EXPECT_EQ(laser.GetErrorCount(), 0);

    ASSERT_TRUE(laser.SetOutput(false));
    EXPECT_TRUE(Eventually([&] { return laser.GetLDI(false) < 0.5f && !laser.GetOutput(false); }, 5000));
}

TEST_F(LaserOnSimulator, PulseBoundsComeFromTheUnit)
{
    ASSERT_TRUE(laser.Connect("COM:" + std::to_string(kPortNumber) + ":38400"));
    CLaser::SPulseTiming minima;
    CLaser::SPulseTiming maxima;
    ASSERT_TRUE(laser.GetPulseMinima(minima));
    ASSERT_TRUE(laser.GetPulseMaxima(maxima));
    // The simulated driver's stored bounds: width [ms], duty [%], frequency [Hz], delays [s].
    EXPECT_DOUBLE_EQ(minima.pulseWidth, 0.001);
    EXPECT_DOUBLE_EQ(maxima.dutyCycle, 90.0);
    EXPECT_DOUBLE_EQ(maxima.frequency, 1000.0);
    EXPECT_DOUBLE_EQ(minima.delayOut, 0.0);
    EXPECT_DOUBLE_EQ(maxima.delayIn, 100.0);
}

TEST_F(LaserOnSimulator, WrongChannelRepliesCountFailuresAndLeaveTheCache)
{
    ASSERT_TRUE(laser.Connect("COM:" + std::to_string(kPortNumber) + ":38400"));
    ASSERT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    const float before = laser.GetVBulk();
    sim->Faults().wrongChannel = true;
    EXPECT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(laser.GetFailedPolls(), 2);
    EXPECT_FLOAT_EQ(laser.GetVBulk(), before);
    sim->Faults().wrongChannel = false;
    EXPECT_TRUE(laser.UpdateStatus(laser.GetPollFlags()));
    EXPECT_EQ(laser.GetFailedPolls(), 0);
}

TEST_F(DualRangeOnSimulator, RangeGoesToTheStoreAndTheUnitAndHalvesTheMaximum)
{
    laser.SetValueBag(std::make_unique<CValuesBagEED312>(&laser));
    ASSERT_TRUE(laser.Connect("COM:" + std::to_string(kPortNumber) + ":38400"));
    EXPECT_FLOAT_EQ(laser.GetMaxLDILimit(false), 3000.0f);

    const size_t from = sim->Log().Count();
    EXPECT_TRUE(laser.SetRange(0));
    const long stored = sim->Log().WaitForText(":LAS:USER:PUT 3604502,0", 2s, from);
    const long sent = sim->Log().WaitForText("LAS:RANGE 0", 2s, from);
    EXPECT_GE(stored, 0);
    EXPECT_GT(sent, stored); // the store first, then the command
    EXPECT_EQ(laser.GetRange(), 0);
    EXPECT_EQ(sim->Request("LAS:RANGE?"), "0");
    EXPECT_FLOAT_EQ(laser.GetMaxLDILimit(true), 1500.0f);
    EXPECT_FALSE(laser.SetRange(2));

    EXPECT_TRUE(laser.SetLaserRemoteSet(true));
    EXPECT_EQ(sim->Request("REMSET?"), "1");
    EXPECT_TRUE(laser.GetLaserRemoteSet());
    EXPECT_EQ(laser.GetErrorCount(), 0);
}
