// Slow and lost replies against the simulator, over a pseudo-terminal and loopback TCP: a reply that
// comes after its time-out never answers a later question, a slow link is still identified, and a
// connect that loses replies either completes with the whole identity or fails.
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/models/K760.h"
#include "instrument/session/DetectInstrument.h"
#include "instrument/tec/TecTypes.h"
#include "support/CaptureSink.h"
#include "support/Eventually.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr float kNoValue = CTEC::NoValue;
constexpr float kTSet = 33.0f; // no other poll field of the unit reads 33.000

enum class ELink
{
    Pty,
    Tcp
};

int NextPortNumber()
{
    static std::atomic<int> next{230};
    return next++;
}

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class LateReplyTest : public ::testing::TestWithParam<ELink>
{
protected:
    void SetUp() override
    {
        sim = CSimInstrument::Create("K760");
        ASSERT_TRUE(sim);
        std::string error;
        if (GetParam() == ELink::Tcp)
        {
            ASSERT_TRUE(sim->StartTcp("127.0.0.1", 0, error)) << error;
            descriptor = "TCP:127.0.0.1:" + std::to_string(sim->TcpPort());
        }
        else
        {
            ASSERT_TRUE(sim->StartPty("", error)) << error;
            ASSERT_TRUE(CPortResolver::Register(portNumber, sim->PtyPath()));
            descriptor = "COM:" + std::to_string(portNumber) + ":38400";
        }
    }

    void TearDown() override
    {
        instrument.Disconnect();
        sim->Stop();
        CPortResolver::Unregister(portNumber);
    }

    // The identity exactly as the unit keeps it, codes included.
    void ExpectWholeIdentity()
    {
        EXPECT_EQ(instrument.GetSerialNumber(), "76042");
        EXPECT_EQ(instrument.GetModel(), "K760");
        EXPECT_EQ(instrument.GetFirmwareVersion(), "v2.4.21");
        EXPECT_EQ(instrument.GetBuild(), "B331");
        EXPECT_EQ(instrument.GetFamilyCode(), 2);
        EXPECT_EQ(instrument.GetModelCode(), 13);
        EXPECT_EQ(instrument.GetVariantCode(), 30);
        EXPECT_EQ(instrument.GetBuildNumber(), 331);
        EXPECT_NE(instrument.GetRUnits(instrument.GetSensorType()), "");
    }

    std::unique_ptr<CSimInstrument> sim;
    int portNumber = NextPortNumber();
    std::string descriptor;
    CK760 instrument;
};

// What the panel would show, sampled while the unit is slow: every reading inside its own range, the T
// set point exactly what was set, and the serial number asked from the panel's side either missing or
// the unit's own. A reply read for another question would put a channel number, a resistance or a
// temperature where it does not belong.
struct SSampler
{
    CK760& tec;
    std::vector<float> t0; // each sensor's T and R before the unit became slow (-999: nothing fitted)
    std::vector<float> r0;
    std::mutex lock;
    std::vector<std::string> wrong;

    void TakeReference()
    {
        for (int sensor = 0; sensor < tec.GetSensorCount(); ++sensor)
        {
            t0.push_back(tec.GetT(false, sensor));
            r0.push_back(tec.GetR(false, sensor));
        }
    }

    void Check(bool ok, const char* what, float value)
    {
        if (ok)
            return;
        std::lock_guard guard(lock);
        if (wrong.size() < 20)
            wrong.push_back(std::string(what) + " = " + std::to_string(value));
    }

    void SampleOnce()
    {
        const auto near = [](float v, float reference, float tolerance)
        { return v == kNoValue || std::fabs(v - reference) <= tolerance; };
        const float tSet = tec.GetTSetPoint();
        Check(tSet == kTSet || tSet == kNoValue, "T set point", tSet);
        for (int sensor = 0; sensor < tec.GetSensorCount(); ++sensor)
        {
            const auto i = static_cast<size_t>(sensor);
            const float t = tec.GetT(false, sensor);
            const float r = tec.GetR(false, sensor);
            Check(near(t, t0[i], 2.0f), "T", t);
            Check(near(r, r0[i], std::fabs(r0[i]) * 0.1f), "R", r);
        }
        const float ite = tec.GetITE();
        Check(ite == kNoValue || std::fabs(ite) <= 5.0f, "ITE", ite);
        const std::string serial = tec.Query("SN?");
        if (!serial.empty() && serial != "76042")
            Check(false, ("SN? " + serial).c_str(), 0.0f);
    }
};

TEST_P(LateReplyTest, RepliesAfterTheirTimeOutNeverAnswerAnotherQuestion)
{
    ASSERT_TRUE(instrument.Connect(descriptor));
    ASSERT_TRUE(instrument.SetT(kTSet));
    instrument.SetPollFlags(TecPollDefault);
    ASSERT_TRUE(instrument.StartBackgroundThread(0));
    ASSERT_TRUE(Eventually([&] { return instrument.GetCompletedCycles() >= 2; }, 10000));

    SSampler sampler{instrument, {}, {}, {}, {}};
    sampler.TakeReference();
    CaptureSink trace(ccComm, 1);
    std::atomic<bool> sampling{true};
    std::thread sampleThread(
        [&]
        {
            while (sampling)
            {
                sampler.SampleOnce();
                std::this_thread::sleep_for(20ms);
            }
        });
    // Past the 2 s time-out: first within the wait for late replies, then beyond it (the wait widens).
    const auto lateReplies = [&] { return trace.Count("Late reply discarded", true); };
    sim->Faults().delayMs = 2300;
    EXPECT_TRUE(Eventually([&] { return lateReplies() >= 2; }, 20000)) << "no reply came late";
    sim->Faults().delayMs = 3500;
    // Far past the wait, the replies are not all known as late any more: they arrive while a later
    // question waits and are refused by their form, and the question is asked again.
    const auto retries = [&] { return trace.Count("Error detected, or missing data!", true); };
    const size_t retriesBefore = retries();
    EXPECT_TRUE(Eventually([&] { return retries() >= retriesBefore + 4; }, 30000)) << "no query failed";
    sim->Faults().delayMs = 0;
    const auto recovering = Clock::now();
    const uint64_t cyclesAtRecovery = instrument.GetCompletedCycles();
    const bool recovered = Eventually(
        [&]
        {
            return instrument.GetCompletedCycles() > cyclesAtRecovery + 2 &&
                   instrument.GetFailedPolls() == 0 && instrument.IsFresh(TecReading::TSet);
        },
        30000);
    const long long recoveryMs = MsSince(recovering);
    sampling = false;
    sampleThread.join();

    EXPECT_TRUE(sampler.wrong.empty()) << sampler.wrong.front();
    ASSERT_TRUE(recovered);
    EXPECT_EQ(instrument.GetTSetPoint(), kTSet);
    std::printf("[ measured ] readings live again %lld ms after the delay ended\n", recoveryMs);
}

TEST_P(LateReplyTest, SlowLinkBelowTheTimeOutIsIdentifiedWithTheRightFields)
{
    sim->Faults().delayMs = 300;
    if (GetParam() == ELink::Tcp)
    {
        // Detection's short waits stretch by the link's round trip on a network port only.
        const auto detecting = Clock::now();
        SIdentRecord record;
        DetectInstrument(descriptor, record);
        std::printf("[ measured ] detection with 300 ms per reply: %lld ms\n", MsSince(detecting));
        EXPECT_EQ((std::array<int, 6>{record.familyCode, record.modelCode, record.variantCode,
                                      record.buildNumber, record.versionMajor, record.versionMinor}),
                  (std::array<int, 6>{2, 13, 30, 331, 2, 4}));
    }
    const auto connecting = Clock::now();
    ASSERT_TRUE(instrument.Connect(descriptor));
    std::printf("[ measured ] connect with 300 ms per reply: %lld ms\n", MsSince(connecting));
    ExpectWholeIdentity();
}

TEST_P(LateReplyTest, IdentificationNeverKeepsAnAnswerToAnotherQuestion)
{
    // Replies now in time, now past the time-out, while the connect asks its questions: the connect
    // may fail, but what it keeps is the unit's own identity.
    instrument.SetDefaultTimeout(400);
    std::atomic<bool> toggling{true};
    std::thread toggler(
        [&]
        {
            const int delays[] = {0, 600, 900, 0, 1200, 450};
            for (int i = 0; toggling; ++i)
            {
                sim->Faults().delayMs = delays[i % 6];
                std::this_thread::sleep_for(std::chrono::milliseconds(170 + 40 * (i % 3)));
            }
        });
    int connected = 0;
    for (int round = 0; round < 3; ++round)
    {
        if (!instrument.Connect(descriptor))
            continue;
        ++connected;
        ExpectWholeIdentity();
    }
    toggling = false;
    toggler.join();
    std::printf("[ measured ] %d of 3 connects completed while replies came late\n", connected);
}

TEST_P(LateReplyTest, ConnectLosingEveryFourthReplyHasTheWholeIdentityOrFails)
{
    sim->Faults().dropEvery = 4;
    instrument.SetDefaultTimeout(700); // each lost reply costs a time-out; shorter ones keep the test short
    int connected = 0;
    // Each round starts at another place in the count of replies, so each question is the lost one once.
    for (int round = 0; round < 4; ++round)
    {
        sim->Request("*IDN?"); // moves the count on by one
        const auto connecting = Clock::now();
        if (instrument.Connect(descriptor))
        {
            ++connected;
            ExpectWholeIdentity();
        }
        std::printf("[ measured ] connect losing every fourth reply: %lld ms\n", MsSince(connecting));
    }
    EXPECT_GT(connected, 0);
}

INSTANTIATE_TEST_SUITE_P(Links, LateReplyTest, ::testing::Values(ELink::Pty, ELink::Tcp),
                         [](const auto& info) { return info.param == ELink::Pty ? "Pty" : "Tcp"; });

} // namespace
