// Cached readings know whether the last completed poll cycle refreshed them: against simulated units
// whose replies stop being acceptable, every value goes stale after one failed cycle and fresh again
// after the next good one, and the session's cycle count moves only when a cycle ends.
#include "SimInstrument.h"
#include "instrument/lamp/LPS.h"
#include "instrument/laser/Laser.h"
#include "instrument/models/K705.h"
#include "instrument/session/ReadingFreshness.h"
#include "instrument/tec/TEC.h"
#include "support/Eventually.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace
{
constexpr int kWaitMs = 10000;

std::string StartTcp(CSimInstrument& sim)
{
    std::string error;
    EXPECT_TRUE(sim.StartTcp("127.0.0.1", 0, error)) << error;
    return "TCP:127.0.0.1:" + std::to_string(sim.TcpPort());
}

// Waits until the instrument has completed `cycles` more poll cycles than it had on entry.
bool CyclesPass(const CInstrBase& instrument, uint64_t cycles)
{
    const uint64_t start = instrument.GetCompletedCycles();
    return Eventually([&] { return instrument.GetCompletedCycles() >= start + cycles; }, kWaitMs);
}
} // namespace

TEST(ReadingFreshness, StampsAgainstTheLastCompletedCycle)
{
    CReadingFreshness freshness;
    EXPECT_FALSE(freshness.IsFresh(0)) << "nothing is fresh before a poll";
    freshness.Mark(0);
    EXPECT_FALSE(freshness.IsFresh(0)) << "a value stored outside a cycle is not a polled one";

    freshness.BeginCycle();
    freshness.Mark(0);
    freshness.Mark(1);
    EXPECT_TRUE(freshness.IsFresh(0)) << "refreshed by the running cycle";
    freshness.EndCycle();
    EXPECT_TRUE(freshness.IsFresh(0));

    freshness.BeginCycle();
    freshness.Mark(0);
    EXPECT_TRUE(freshness.IsFresh(1)) << "still from the last completed cycle while the next runs";
    freshness.EndCycle();
    EXPECT_TRUE(freshness.IsFresh(0));
    EXPECT_FALSE(freshness.IsFresh(1)) << "the last completed cycle did not refresh it";
    EXPECT_EQ(freshness.CompletedCycles(), 2u);

    freshness.Forget();
    EXPECT_FALSE(freshness.IsFresh(0));
    EXPECT_FALSE(freshness.IsFresh(-1));
    EXPECT_FALSE(freshness.IsFresh(CReadingFreshness::Capacity));
}

TEST(ReadingFreshnessOnSimulator, TecValuesGoStaleWhenACycleFailsAndFreshWhenOneSucceeds)
{
    auto sim = CSimInstrument::Create("K760");
    ASSERT_TRUE(sim);
    CTEC tec;
    ASSERT_TRUE(tec.Connect(StartTcp(*sim)));
    EXPECT_FALSE(tec.IsFresh(TecReading::T)) << "connect reads are not poll results";
    ASSERT_TRUE(tec.StartBackgroundThread(0));
    ASSERT_TRUE(CyclesPass(tec, 1));
    for (TecReading reading : {TecReading::T, TecReading::R, TecReading::ITE, TecReading::V, TecReading::TSet,
                               TecReading::Output, TecReading::Condition, TecReading::Mode})
        EXPECT_TRUE(tec.IsFresh(reading)) << static_cast<int>(reading);
    EXPECT_FALSE(tec.IsFresh(TecReading::Analog)) << "not in the default poll";
    const float lastT = tec.GetT();

    sim->Faults().wrongChannel = true;
    ASSERT_TRUE(Eventually([&] { return tec.GetFailedPolls() >= 1; }, kWaitMs));
    EXPECT_FALSE(tec.IsFresh(TecReading::T));
    EXPECT_FALSE(tec.IsFresh(TecReading::Output));
    EXPECT_FALSE(tec.IsFresh(TecReading::Mode));
    EXPECT_EQ(tec.GetT(), lastT) << "the cache keeps the last value; freshness tells it apart";

    sim->Faults().wrongChannel = false;
    ASSERT_TRUE(Eventually([&] { return tec.GetFailedPolls() == 0; }, kWaitMs));
    ASSERT_TRUE(CyclesPass(tec, 1));
    EXPECT_TRUE(tec.IsFresh(TecReading::T));
    EXPECT_TRUE(tec.IsFresh(TecReading::Output));

    // A value the poll no longer reads is not fresh either.
    tec.SetPollFlags(tec.GetPollFlags() & ~static_cast<uint64_t>(TecPollV));
    ASSERT_TRUE(CyclesPass(tec, 2));
    EXPECT_FALSE(tec.IsFresh(TecReading::V));
    EXPECT_TRUE(tec.IsFresh(TecReading::T));
    tec.Disconnect();
}

TEST(ReadingFreshnessOnSimulator, SilenceStopsTheCycleCountAndLeavesLaserValuesStale)
{
    auto sim = CSimInstrument::Create("D310");
    ASSERT_TRUE(sim);
    CLaser laser;
    ASSERT_TRUE(laser.Connect(StartTcp(*sim)));
    laser.SetDefaultTimeout(100);
    ASSERT_TRUE(laser.StartBackgroundThread(0));
    ASSERT_TRUE(CyclesPass(laser, 1));
    for (LaserPollItem item : {LaserPollItem::LDI, LaserPollItem::LDV, LaserPollItem::LDISet,
                               LaserPollItem::Output, LaserPollItem::Mode})
        EXPECT_TRUE(laser.IsFresh(item)) << static_cast<int>(item);
    EXPECT_FALSE(laser.IsFresh(LaserPollItem::VPeak)) << "not in the default poll";

    sim->Faults().silent = true;
    ASSERT_TRUE(Eventually([&] { return laser.GetFailedPolls() >= 1; }, kWaitMs));
    EXPECT_FALSE(laser.IsFresh(LaserPollItem::LDI));
    EXPECT_FALSE(laser.IsFresh(LaserPollItem::Output));
    sim->Faults().silent = false;
    ASSERT_TRUE(Eventually([&] { return laser.GetFailedPolls() == 0; }, kWaitMs));
    EXPECT_TRUE(laser.IsFresh(LaserPollItem::LDI));
    laser.Disconnect();
}

TEST(ReadingFreshnessOnSimulator, LampSupplyAnswersForItsCurrentAndVoltage)
{
    auto sim = CSimInstrument::Create("LPS");
    ASSERT_TRUE(sim);
    CLPS lps;
    ASSERT_TRUE(lps.Connect(StartTcp(*sim)));
    ASSERT_TRUE(lps.StartBackgroundThread(0));
    ASSERT_TRUE(CyclesPass(lps, 1));
    EXPECT_TRUE(lps.IsFresh(LaserPollItem::LDI));
    EXPECT_TRUE(lps.IsFresh(LaserPollItem::LDV));
    EXPECT_TRUE(lps.IsFresh(LaserPollItem::Mode));
    EXPECT_NE(lps.GetSetPoint(), CLaser::NoValue);

    sim->Faults().garble = true;
    ASSERT_TRUE(Eventually([&] { return lps.GetFailedPolls() >= 1; }, kWaitMs));
    EXPECT_FALSE(lps.IsFresh(LaserPollItem::LDI));
    lps.Disconnect();
}

TEST(ReadingFreshnessOnSimulator, AnUnknownModeHasNoSetPoint)
{
    CTEC tec;
    CLaser laser;
    EXPECT_EQ(tec.GetSetPoint(), CTEC::NoValue) << "not 0: nothing is known";
    EXPECT_EQ(laser.GetSetPoint(), CLaser::NoValue);
}

// A capability read from the unit's stored feature bits is unknown, not "no", when the reply is
// unreadable.
TEST(UnreadableCapability, FanSupportIsUnknownWhenTheFeatureBitsCannotBeRead)
{
    auto sim = CSimInstrument::Create("K705");
    ASSERT_TRUE(sim);
    CK705 tec;
    ASSERT_TRUE(tec.Connect(StartTcp(*sim)));
    tec.SetDefaultTimeout(200);
    sim->Faults().garble = true;
    EXPECT_EQ(tec.GetFanSupport(), std::nullopt);
    EXPECT_FALSE(tec.IsFanSupported());
    sim->Faults().garble = false;
    EXPECT_NE(tec.GetFanSupport(), std::nullopt);
    tec.Disconnect();
}
