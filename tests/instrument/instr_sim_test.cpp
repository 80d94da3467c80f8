#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "instrument/session/DetectInstrument.h"
#include "instrument/session/InstrBase.h"
#include "support/CaptureSink.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

// The session and identification against the simulator over a real pseudo-terminal and loopback TCP.
namespace
{

enum class ELink
{
    Pty,
    Tcp
};

int NextPortNumber()
{
    static std::atomic<int> next{150};
    return next++;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5000ms)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A simulated unit reachable by a descriptor: "COM:<n>:<baud>" for its pty, "TCP:127.0.0.1:<port>".
class SimLink
{
public:
    SimLink(const std::string& model, ELink link) : m_sim(CSimInstrument::Create(model)), m_link(link)
    {
        std::string error;
        if (link == ELink::Pty)
        {
            EXPECT_TRUE(m_sim->StartPty("", error)) << error;
            CPortResolver::Register(m_portNumber, m_sim->PtyPath());
        }
        else
        {
            EXPECT_TRUE(m_sim->StartTcp("127.0.0.1", 0, error)) << error;
        }
    }
    ~SimLink()
    {
        m_sim->Stop();
        CPortResolver::Unregister(m_portNumber);
    }

    std::string Descriptor(int baud = 0) const
    {
        if (m_link == ELink::Pty)
            return "COM:" + std::to_string(m_portNumber) + ":" + std::to_string(baud);
        return "TCP:127.0.0.1:" + std::to_string(m_sim->TcpPort());
    }
    CSimInstrument& Sim() { return *m_sim; }
    std::vector<std::string> Lines() { return m_sim->Log().Lines(); }

private:
    std::unique_ptr<CSimInstrument> m_sim;
    ELink m_link;
    int m_portNumber = NextPortNumber();
};

std::string LinkName(ELink link)
{
    return link == ELink::Pty ? "Pty" : "Tcp";
}

// ---------------------------------------------------------------------------------------------------

struct SDetectRow
{
    const char* model;
    std::array<int, 6> expected; // family, model, variant, build, major, minor
};

class SimDetectTest : public ::testing::TestWithParam<std::tuple<SDetectRow, ELink>>
{
};

TEST_P(SimDetectTest, RecordOfEachMakerAndFirmwareKind)
{
    const auto& [row, link] = GetParam();
    SimLink unit(row.model, link);
    SIdentRecord r;
    DetectInstrument(unit.Descriptor(), r);
    EXPECT_EQ((std::array<int, 6>{r.familyCode, r.modelCode, r.variantCode, r.buildNumber, r.versionMajor,
                                  r.versionMinor}),
              row.expected);
}

const SDetectRow kDetectRows[] = {
    {"K760", {2, 13, 30, 331, 2, 4}}, // the maker's own, with a revision
    {"OEM", {7, 14, 41, 12, 3, 2}},   // "Norlase"
    {"LPS", {9, 16, 29, 8, 1, 3}},    // "Labsphere"
    {"K19-2", {2, 4, 7, 14, 2, 3}},   // revision 4.16.26.x: read from the model
    {"K705", {2, 3, 4, 21, 2, 0}},    // no "REV?" at all
};

INSTANTIATE_TEST_SUITE_P(Models, SimDetectTest,
                         ::testing::Combine(::testing::ValuesIn(kDetectRows),
                                            ::testing::Values(ELink::Pty, ELink::Tcp)),
                         [](const auto& info)
                         {
                             std::string name = std::get<0>(info.param).model;
                             std::erase(name, '-');
                             return name + LinkName(std::get<1>(info.param));
                         });

TEST(SimIdentify, UnitAt9600FoundByDetectionAndByConnect)
{
    SimLink unit("K760", ELink::Pty);
    unit.Sim().SetBaud(9600);
    SIdentRecord record;
    DetectInstrument(unit.Descriptor(0), record);
    EXPECT_EQ(record.familyCode, 2);
    EXPECT_EQ(record.variantCode, 30);
    SIdentRecord fixed; // a fixed baud rate never falls back
    DetectInstrument(unit.Descriptor(38400), fixed);
    EXPECT_EQ(fixed.familyCode, 0);

    CInstrBase instr;
    instr.SetDefaultTimeout(500);
    ASSERT_TRUE(instr.Connect(unit.Descriptor(0)));
    EXPECT_EQ(instr.GetFamilyCode(), 2);
    EXPECT_EQ(instr.GetModelCode(), 13);
    EXPECT_EQ(instr.GetVariantCode(), 30);
    EXPECT_EQ(instr.GetBuildNumber(), 331);
    EXPECT_EQ(instr.GetSerialNumber(), "76042");
    EXPECT_TRUE(instr.VerifyBuild());
    instr.Disconnect();
    EXPECT_EQ(instr.GetSerialNumber(), ""); // identity forgotten, port closed
}

class SimIdentifyTest : public ::testing::TestWithParam<ELink>
{
};

TEST_P(SimIdentifyTest, OlderFirmwareRefusingRevisionIsIdentifiedByModel)
{
    SimLink unit("K705", GetParam());
    CInstrBase instr;
    instr.SetDefaultTimeout(500);
    ASSERT_TRUE(instr.Connect(unit.Descriptor(38400)));
    EXPECT_EQ(instr.GetRevision(), ""); // its "REV?;ERR?" reply is the error 123
    EXPECT_EQ(instr.GetFamilyCode(), 2);
    EXPECT_EQ(instr.GetModelCode(), 3);
    EXPECT_EQ(instr.GetVariantCode(), 4);
    EXPECT_EQ(instr.GetBuildNumber(), 21);
    instr.Disconnect();
}

INSTANTIATE_TEST_SUITE_P(Links, SimIdentifyTest, ::testing::Values(ELink::Pty, ELink::Tcp),
                         [](const auto& info) { return LinkName(info.param); });

// ---------------------------------------------------------------------------------------------------

class PollingInstrument : public CInstrBase
{
public:
    ~PollingInstrument() override { StopBackgroundThread(5000); }
    bool PollHook1(uint64_t) override
    {
        QueryDirect("SN?", -1);
        ++cycles;
        return true;
    }
    std::atomic<int> cycles{0};
};

class SimSessionTest : public ::testing::TestWithParam<ELink>
{
protected:
    void SetUp() override
    {
        unit = std::make_unique<SimLink>("K760", GetParam());
        instr.SetDefaultTimeout(1000);
        ASSERT_TRUE(instr.GetPort().OpenDescriptor(unit->Descriptor(38400)));
    }

    std::unique_ptr<SimLink> unit;
    PollingInstrument instr;
};

TEST_P(SimSessionTest, CommandCheckAndCombinedQueryLine)
{
    EXPECT_TRUE(instr.Command("MESS bench", true));
    unit->Sim().PushError(201);
    EXPECT_FALSE(instr.Command("MESS bench", true));
    ASSERT_EQ(instr.GetErrorCount(), 1);
    EXPECT_EQ(instr.GetError(0, false).GetNumber(), 201);
    EXPECT_EQ(instr.GetError(0, false).GetText(), "Parameter was out of range and not accepted");

    std::vector<std::string> values;
    ASSERT_TRUE(instr.QueryList({"SN?;", "MODEL?;"}, values, false, true));
    EXPECT_EQ(values, (std::vector<std::string>{"76042", "K760"}));
    EXPECT_EQ(unit->Lines().back(), "SN?;MODEL?;ERR?");

    ASSERT_TRUE(instr.QueryList({":TEC:CHAN?;", "ITE?;"}, values, false, true));
    EXPECT_EQ(values.size(), 2u);
    EXPECT_EQ(unit->Lines().back(), ":TEC:CHAN?;ITE?;ERR?");
}

TEST_P(SimSessionTest, QueryWhilePollingIsAnsweredWithinTheNextCycle)
{
    ASSERT_TRUE(instr.StartBackgroundThread(0));
    ASSERT_TRUE(WaitUntil([&] { return instr.cycles.load() > 0; }));
    EXPECT_TRUE(instr.IsPolling());
    EXPECT_EQ(instr.Query("MODEL?"), "K760");
    EXPECT_EQ(instr.Query("CALDATE?"), "2025-09-16");
}

// Empty text is never handed over: an empty query answers "" and an empty command the last command's
// result, at once rather than after the time-out.
TEST_P(SimSessionTest, EmptyQueryAndCommandWhilePollingAnswerAtOnce)
{
    ASSERT_TRUE(instr.StartBackgroundThread(0));
    ASSERT_TRUE(WaitUntil([&] { return instr.cycles.load() > 0; }));
    instr.SetDefaultTimeout(5000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(instr.Query(""), "");
    ASSERT_TRUE(instr.Command("MESS bench", true));
    EXPECT_TRUE(instr.Command("", true));
    unit->Sim().PushError(201);
    ASSERT_FALSE(instr.Command("MESS bench", true));
    EXPECT_FALSE(instr.Command("", true));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(instr.Query("MODEL?"), "K760");
}

TEST_P(SimSessionTest, CallersOnSeveralThreadsWhilePollingEachGetTheirOwnAnswer)
{
    ASSERT_TRUE(instr.StartBackgroundThread(0));
    ASSERT_TRUE(WaitUntil([&] { return instr.cycles.load() > 0; }));
    instr.SetDefaultTimeout(5000);
    const std::vector<std::pair<std::string, std::string>> asked{
        {"MODEL?", "K760"}, {"SN?", "76042"}, {"CALDATE?", "2025-09-16"}};
    std::atomic<int> wrong{0};
    std::atomic<int> refused{0};
    std::vector<std::thread> callers;
    for (const auto& [query, answer] : asked)
        callers.emplace_back(
            [&, query = query, answer = answer]
            {
                for (int i = 0; i < 10; ++i)
                {
                    if (instr.Query(query) != answer)
                        ++wrong;
                    if (!instr.Command("MESS bench", true))
                        ++refused;
                }
            });
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(refused.load(), 0);
}

TEST_P(SimSessionTest, DisconnectWhilePollingSendsLocalThenLocalAndCloses)
{
    ASSERT_TRUE(instr.StartBackgroundThread(0));
    ASSERT_TRUE(WaitUntil([&] { return instr.cycles.load() > 0; }));
    instr.Disconnect();
    EXPECT_FALSE(instr.IsPortOpen());
    ASSERT_GE(unit->Sim().Log().WaitForText("local", 2s), 0);
    std::vector<std::string> lines = unit->Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "LOCAL");
    EXPECT_EQ(lines.back(), "local");
}

TEST_P(SimSessionTest, DroppedLinkEndsThePollLoop)
{
    ASSERT_TRUE(instr.StartBackgroundThread(0));
    ASSERT_TRUE(WaitUntil([&] { return instr.cycles.load() > 0; }));
    if (GetParam() == ELink::Pty)
        EXPECT_TRUE(unit->Sim().Unplug());
    else
        unit->Sim().DropConnection();
    EXPECT_TRUE(WaitUntil([&] { return !instr.IsPolling(); }));
    EXPECT_FALSE(instr.IsPortOpen());
}

TEST_P(SimSessionTest, APauseThatTimedOutIsStillWithdrawnAndPollingResumes)
{
    ASSERT_TRUE(instr.StartBackgroundThread(0));
    ASSERT_TRUE(WaitUntil([&] { return instr.cycles.load() > 0; }));
    // The unit falls silent: well into its second unanswered query the poll thread still waits on it,
    // so the pause cannot take effect in time.
    instr.SetDefaultTimeout(2000);
    unit->Sim().Faults().silent = true;
    ASSERT_TRUE(WaitUntil([&] { return instr.GetSilentForMs() > 2300; }, 10000ms));
    EXPECT_FALSE(instr.HoldPause(50));
    EXPECT_EQ(instr.GetPauseHolds(), 1) << "the hold stays until its owner gives it back";
    unit->Sim().Faults().silent = false;
    ASSERT_TRUE(WaitUntil([&] { return instr.IsPaused(); }));
    instr.ReleasePause();
    const int cycles = instr.cycles.load();
    EXPECT_TRUE(WaitUntil([&] { return instr.cycles.load() > cycles; })) << "polling resumed";
    EXPECT_FALSE(instr.IsPaused());
}

TEST_P(SimSessionTest, NestedPausesResumeWithTheLastRelease)
{
    ASSERT_TRUE(instr.StartBackgroundThread(0));
    ASSERT_TRUE(WaitUntil([&] { return instr.cycles.load() > 0; }));
    ASSERT_TRUE(instr.HoldPause(5000)); // a settings sheet
    ASSERT_TRUE(instr.HoldPause(5000)); // one of its pages
    instr.ReleasePause();
    EXPECT_TRUE(instr.IsPaused()) << "the sheet still holds its pause";
    instr.ReleasePause();
    // The loop may not have woken yet, but what is sent from now on must go through it.
    EXPECT_TRUE(instr.IsPolling());
    instr.ReleasePause(); // one too many changes nothing
    EXPECT_EQ(instr.GetPauseHolds(), 0);
    const int cycles = instr.cycles.load();
    EXPECT_TRUE(WaitUntil([&] { return instr.cycles.load() > cycles; }));
}

INSTANTIATE_TEST_SUITE_P(Links, SimSessionTest, ::testing::Values(ELink::Pty, ELink::Tcp),
                         [](const auto& info) { return LinkName(info.param); });

} // namespace
