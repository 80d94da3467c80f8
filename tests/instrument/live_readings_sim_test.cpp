// Readings are live or plainly not, within seconds: a simulated unit's faults are switched on during a
// connection (silence, replies later than the time-out, lost replies) over a pseudo-terminal at 38400
// and at 9600 baud (bytes paced at the line rate) and over loopback TCP; the time from the fault to a
// stale reading, to the notice of silence and to the lost connection is held against its bound, and
// readings come back live once the unit answers again.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/session/ReadingFreshness.h"
#include "instrument/tec/TEC.h"
#include "support/Eventually.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace
{
using Clock = std::chrono::steady_clock;

struct SLinkCase
{
    const char* name;
    bool tcp;
    int baud; // pseudo-terminal only
};

int NextPortNumber()
{
    static std::atomic<int> next{210};
    return next++;
}

int ElapsedMs(Clock::time_point since)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class LiveReadingsTest : public ::testing::TestWithParam<SLinkCase>
{
protected:
    void SetUp() override
    {
        m_sim = CSimInstrument::Create("K760");
        ASSERT_TRUE(m_sim);
        std::string error;
        if (GetParam().tcp)
        {
            ASSERT_TRUE(m_sim->StartTcp("127.0.0.1", 0, error)) << error;
            m_descriptor = "TCP:127.0.0.1:" + std::to_string(m_sim->TcpPort());
            return;
        }
        m_sim->SetBaud(GetParam().baud);
        m_sim->SetWireTiming(true);
        ASSERT_TRUE(m_sim->StartPty("", error)) << error;
        ASSERT_TRUE(CPortResolver::Register(m_portNumber, m_sim->PtyPath()));
        m_descriptor = "COM:" + std::to_string(m_portNumber) + ":" + std::to_string(GetParam().baud);
    }
    void TearDown() override
    {
        m_tec.Disconnect();
        if (m_sim)
            m_sim->Stop();
        CPortResolver::Unregister(m_portNumber);
    }

    // Connected, polling, and the channel's period measured over a few good cycles.
    void StartPolling()
    {
        ASSERT_TRUE(m_tec.Connect(m_descriptor));
        ASSERT_TRUE(m_tec.StartBackgroundThread(0));
        const uint64_t start = m_tec.GetCompletedCycles();
        ASSERT_TRUE(Eventually([&] { return m_tec.GetCompletedCycles() >= start + 10; }, 30000));
        ASSERT_TRUE(m_tec.IsFresh(TecReading::T));
    }
    int64_t Ceiling() const
    {
        return CReadingFreshness::CeilingForBaud(GetParam().tcp ? 0 : GetParam().baud);
    }
    void Say(const char* what, int ms) const { std::printf("[%s] %s: %d ms\n", GetParam().name, what, ms); }

    std::unique_ptr<CSimInstrument> m_sim;
    CTEC m_tec;
    std::string m_descriptor;
    int m_portNumber = NextPortNumber();
};

TEST_P(LiveReadingsTest, ASilentUnitIsSaidAtOnceShownStaleAndGivenUpInAboutTwentySeconds)
{
    StartPolling();
    const int64_t bound = m_tec.FreshnessBoundMs();
    Say("freshness bound", static_cast<int>(bound));
    EXPECT_LE(bound, Ceiling());

    m_sim->Faults().silent = true;
    const auto fault = Clock::now();
    ASSERT_TRUE(Eventually([&] { return !m_tec.IsFresh(TecReading::T); }, static_cast<int>(Ceiling()) + 500));
    const int staleMs = ElapsedMs(fault);
    Say("fault to stale reading", staleMs);
    // A reply already on its way when the unit fell silent may refresh the values once more.
    EXPECT_LE(staleMs, bound + 500);

    ASSERT_TRUE(Eventually([&] { return m_tec.GetSilentForMs() > 0; }, 10000));
    const int noticeMs = ElapsedMs(fault);
    Say("fault to silence notice", noticeMs);
    EXPECT_LE(noticeMs, CInstrBase::DefaultTimeoutMs + 1000) << "said from the first unanswered query";

    ASSERT_TRUE(Eventually([&] { return m_tec.GetFailedPolls() >= 2; }, 40000));
    const int lostMs = ElapsedMs(fault);
    Say("fault to lost communications", lostMs);
    EXPECT_GE(lostMs, 15000) << "each query keeps its retries";
    EXPECT_LE(lostMs, 25000) << "two failed queries, not two whole cycles";

    m_sim->Faults().silent = false;
    const auto back = Clock::now();
    ASSERT_TRUE(Eventually(
        [&] {
            return m_tec.IsFresh(TecReading::T) && m_tec.GetFailedPolls() == 0 && m_tec.GetSilentForMs() == 0;
        },
        15000));
    Say("answer to live readings", ElapsedMs(back));
}

TEST_P(LiveReadingsTest, RepliesLaterThanTheTimeOutLeaveNothingLive)
{
    StartPolling();
    // Late, but within the wait for owed replies: each is waited out, none taken for a later question.
    m_sim->Faults().delayMs = CInstrBase::DefaultTimeoutMs + 300;
    const auto fault = Clock::now();
    ASSERT_TRUE(Eventually([&] { return !m_tec.IsFresh(TecReading::T); }, static_cast<int>(Ceiling()) + 500));
    Say("late replies to stale reading", ElapsedMs(fault));
    ASSERT_TRUE(Eventually([&] { return m_tec.GetSilentForMs() > 0; }, 10000));
    // While every reply misses its time-out, nothing the poll reads may count as live.
    const auto watchUntil = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < watchUntil)
    {
        ASSERT_FALSE(m_tec.IsFresh(TecReading::T));
        ASSERT_FALSE(m_tec.IsFresh(TecReading::Output));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_sim->Faults().delayMs = 0;
    ASSERT_TRUE(
        Eventually([&] { return m_tec.IsFresh(TecReading::T) && m_tec.GetSilentForMs() == 0; }, 20000));
}

TEST_P(LiveReadingsTest, LostRepliesAreRetriedWithoutGivingTheUnitUp)
{
    StartPolling();
    m_sim->Faults().dropEvery = 4;
    const uint64_t start = m_tec.GetCompletedCycles();
    int worst = 0;
    ASSERT_TRUE(Eventually(
        [&]
        {
            worst = std::max(worst, m_tec.GetFailedPolls());
            return m_tec.GetCompletedCycles() >= start + 6;
        },
        60000));
    EXPECT_LT(worst, 2) << "a retry that succeeds clears the count";
    m_sim->Faults().dropEvery = 0;
    EXPECT_TRUE(Eventually([&] { return m_tec.IsFresh(TecReading::T); }, 15000));
}

INSTANTIATE_TEST_SUITE_P(Links, LiveReadingsTest,
                         ::testing::Values(SLinkCase{"Tcp", true, 0}, SLinkCase{"Pty38400", false, 38400},
                                           SLinkCase{"Pty9600", false, 9600}),
                         [](const auto& info) { return std::string(info.param.name); });
} // namespace
