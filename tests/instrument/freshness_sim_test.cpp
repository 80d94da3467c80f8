// Cached readings know how old they are: against simulated units whose replies stop being acceptable,
// every value goes stale within its channel's bound and live again after the next good cycle.
#include "SimInstrument.h"
#include "instrument/lamp/LPS.h"
#include "instrument/laser/Laser.h"
#include "instrument/models/K705.h"
#include "instrument/session/ReadingFreshness.h"
#include "instrument/tec/TEC.h"
#include "support/Eventually.h"

#include <atomic>
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

TEST(ReadingFreshness, AValueIsLiveWhileYoungerThanTwoPeriodsAndAMargin)
{
    constexpr int64_t ceiling = CReadingFreshness::FastLinkCeilingMs;
    CReadingFreshness freshness;
    EXPECT_FALSE(freshness.IsFresh(0, 1000)) << "nothing is live before a poll";
    freshness.Mark(0, 1000);
    EXPECT_FALSE(freshness.IsFresh(0, 1000)) << "a value stored outside a cycle is not a polled one";

    freshness.BeginCycle(ceiling, 1000);
    freshness.Mark(0, 1000);
    freshness.EndCycle(true);
    EXPECT_EQ(freshness.BoundMs(), ceiling) << "no period measured yet: the link's ceiling";
    EXPECT_TRUE(freshness.IsFresh(0, 1000 + ceiling));
    EXPECT_FALSE(freshness.IsFresh(0, 1001 + ceiling));

    // Good cycles every 100 ms: two periods and the margin.
    for (int64_t start = 1100; start <= 1500; start += 100)
    {
        freshness.BeginCycle(ceiling, start);
        freshness.Mark(0, start);
        freshness.EndCycle(true);
    }
    EXPECT_EQ(freshness.BoundMs(), 200 + CReadingFreshness::MarginMs);
    EXPECT_TRUE(freshness.IsFresh(0, 1500 + freshness.BoundMs()));
    EXPECT_FALSE(freshness.IsFresh(0, 1501 + freshness.BoundMs())) << "past its age it is not live";

    // A failed cycle measures nothing; slow cycles never lift the bound past the ceiling.
    freshness.BeginCycle(ceiling, 1600);
    freshness.EndCycle(false);
    freshness.BeginCycle(ceiling, 9000);
    freshness.EndCycle(true);
    EXPECT_EQ(freshness.BoundMs(), 200 + CReadingFreshness::MarginMs);
    freshness.BeginCycle(ceiling, 15000);
    freshness.EndCycle(true);
    EXPECT_EQ(freshness.BoundMs(), ceiling);
    EXPECT_EQ(freshness.CompletedCycles(), 9u);

    freshness.Forget();
    EXPECT_FALSE(freshness.IsFresh(0, 15000));
    EXPECT_FALSE(freshness.IsFresh(-1));
    EXPECT_FALSE(freshness.IsFresh(CReadingFreshness::Capacity));
}

TEST(ReadingFreshness, TheCeilingFollowsTheLinksSpeed)
{
    EXPECT_EQ(CReadingFreshness::CeilingForBaud(0), 2000) << "a network link";
    EXPECT_EQ(CReadingFreshness::CeilingForBaud(38400), 2000);
    EXPECT_EQ(CReadingFreshness::CeilingForBaud(115200), 2000);
    EXPECT_EQ(CReadingFreshness::CeilingForBaud(9600), 8000) << "four times the byte time";
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
    const int staleWithin = static_cast<int>(tec.FreshnessBoundMs()) + 100;
    // The cycle's later queries stored their values a little later: each ages out on its own.
    for (TecReading reading : {TecReading::T, TecReading::Output, TecReading::Mode})
        EXPECT_TRUE(Eventually([&] { return !tec.IsFresh(reading); }, staleWithin))
            << static_cast<int>(reading);
    EXPECT_EQ(tec.GetT(), lastT) << "the cache keeps the last value; freshness tells it apart";

    sim->Faults().wrongChannel = false;
    ASSERT_TRUE(Eventually([&] { return tec.GetFailedPolls() == 0; }, kWaitMs));
    ASSERT_TRUE(CyclesPass(tec, 1));
    EXPECT_TRUE(tec.IsFresh(TecReading::T));
    EXPECT_TRUE(tec.IsFresh(TecReading::Output));

    // A value the poll no longer reads is not fresh either.
    tec.SetPollFlags(tec.GetPollFlags() & ~static_cast<uint64_t>(TecPollV));
    EXPECT_TRUE(Eventually([&] { return !tec.IsFresh(TecReading::V); }, staleWithin));
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
    // A waiter told of each completed cycle, and of no other.
    std::atomic<uint64_t> told{0};
    laser.SetCycleListener([&told] { told.fetch_add(1); });
    ASSERT_TRUE(laser.StartBackgroundThread(0));
    ASSERT_TRUE(CyclesPass(laser, 1));
    for (LaserPollItem item : {LaserPollItem::LDI, LaserPollItem::LDV, LaserPollItem::LDISet,
                               LaserPollItem::Output, LaserPollItem::Mode})
        EXPECT_TRUE(laser.IsFresh(item)) << static_cast<int>(item);
    EXPECT_FALSE(laser.IsFresh(LaserPollItem::VPeak)) << "not in the default poll";

    sim->Faults().silent = true;
    ASSERT_TRUE(Eventually([&] { return laser.GetFailedPolls() >= 1; }, kWaitMs));
    for (LaserPollItem item : {LaserPollItem::LDI, LaserPollItem::Output})
        EXPECT_TRUE(Eventually([&] { return !laser.IsFresh(item); },
                               static_cast<int>(laser.FreshnessBoundMs()) + 100))
            << static_cast<int>(item);
    sim->Faults().silent = false;
    ASSERT_TRUE(Eventually([&] { return laser.GetFailedPolls() == 0; }, kWaitMs));
    EXPECT_TRUE(laser.IsFresh(LaserPollItem::LDI));
    laser.Disconnect();
    EXPECT_GE(told.load(), 2u);
    EXPECT_EQ(told.load(), laser.GetCompletedCycles());
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
    EXPECT_TRUE(Eventually([&] { return !lps.IsFresh(LaserPollItem::LDI); },
                           static_cast<int>(lps.FreshnessBoundMs()) + 100));
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
