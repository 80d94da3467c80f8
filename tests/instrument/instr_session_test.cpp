#include "instrument/session/InstrBase.h"
#include "instrument/session/WaitWatch.h"
#include "support/CaptureSink.h"
#include "support/ScriptedUnit.h"

#include <atomic>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace
{

const std::string kPurgeMessage = "Error detected, or missing data! Purging input buffer...";

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

// A session whose first poll hook runs what the test gives it, and which notes the thread every
// query goes out on.
class TestInstrument : public CInstrBase
{
public:
    ~TestInstrument() override { StopBackgroundThread(5000); }

    bool PollHook1(uint64_t) override
    {
        ++cycles;
        std::function<void()> hook;
        {
            std::lock_guard lock(hookLock);
            hook = pollHook;
        }
        if (hook)
            hook();
        return true;
    }

    std::string QueryDirect(std::string_view command, int timeoutMs) override
    {
        {
            std::lock_guard lock(hookLock);
            queryThreads[std::string(command)] = std::this_thread::get_id();
        }
        return CInstrBase::QueryDirect(command, timeoutMs);
    }

    void SetHook(std::function<void()> hook)
    {
        std::lock_guard lock(hookLock);
        pollHook = std::move(hook);
    }

    std::thread::id ThreadOf(const std::string& command)
    {
        std::lock_guard lock(hookLock);
        return queryThreads[command];
    }

    std::atomic<int> cycles{0};

private:
    std::mutex hookLock;
    std::function<void()> pollHook;
    std::map<std::string, std::thread::id> queryThreads;
};

class SessionTest : public ::testing::Test
{
protected:
    void Open(bool respond = true)
    {
        unit.ScriptIdentity("Tamrix Instruments,K760,SN1234,1.0", "2.4.7.37", "K760", "B37", "v1.2.3");
        if (respond)
            unit.StartSerial();
        ASSERT_TRUE(instr.GetPort().OpenDescriptor(unit.SerialDescriptor(38400)));
        instr.SetDefaultTimeout(500);
    }

    void StartPolling()
    {
        ASSERT_TRUE(instr.StartBackgroundThread(0));
        ASSERT_TRUE(WaitUntil([&] { return instr.IsFirstCycleDone(); }));
    }

    std::vector<int> ErrorNumbers()
    {
        std::vector<int> numbers;
        for (int i = 0; i < instr.GetErrorCount(); ++i)
            numbers.push_back(instr.GetError(i, false).GetNumber());
        return numbers;
    }

    ScriptedUnit unit;
    TestInstrument instr;
};

// ---------------------------------------------------------------------------------------------------

struct SCommandRow
{
    std::vector<int> queued; // errors the unit reports to "err?"
    bool result;
};

class CommandCheckTest : public SessionTest, public ::testing::WithParamInterface<SCommandRow>
{
};

TEST_P(CommandCheckTest, ErrCheckDecidesResultAndFillsErrorList)
{
    Open();
    for (int number : GetParam().queued)
        unit.PushError(number);
    CInstrBase::ResetLastCommandOutcome();
    EXPECT_EQ(instr.Command("LAS:LDI 5.0", true), GetParam().result);
    EXPECT_EQ(CInstrBase::LastCommandOutcome(),
              GetParam().result ? ECommandOutcome::Accepted : ECommandOutcome::Refused);
    EXPECT_EQ(unit.Lines(), (std::vector<std::string>{"LAS:LDI 5.0", "err?"}));
    EXPECT_EQ(ErrorNumbers(), GetParam().queued);
    if (!GetParam().queued.empty())
    {
        EXPECT_EQ(instr.GetError(0, false).GetText(), "Parameter was out of range and not accepted");
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, CommandCheckTest,
                         ::testing::Values(SCommandRow{{}, true}, SCommandRow{{201}, false}),
                         [](const auto& info) { return info.param.result ? "Accepted" : "Refused201"; });

// A command that went out is never reported as unsent: only a closed port or a hand-over given up
// before the poll thread took it is "not sent"; a lost or unreadable error check is "unconfirmed".
TEST_F(SessionTest, ALostErrorCheckAnswerIsUnconfirmedDirectlyAndThroughThePollThread)
{
    Open();
    std::atomic<bool> lose{true};
    std::atomic<bool> garble{false};
    unit.SetOverride(
        [&](const std::string& line, std::string& reply)
        {
            if (line != "err?" || (!lose && !garble))
                return false;
            reply = garble ? "#?" : "";
            return true;
        });
    EXPECT_FALSE(instr.Command("TEC:T 33.000000", true));
    EXPECT_EQ(CInstrBase::LastCommandOutcome(), ECommandOutcome::Unconfirmed);
    EXPECT_EQ(unit.Count("TEC:T 33.000000"), 1u);

    StartPolling();
    EXPECT_FALSE(instr.Command("TEC:T 34.000000", true, 5000));
    EXPECT_EQ(CInstrBase::LastCommandOutcome(), ECommandOutcome::Unconfirmed);
    lose = false;
    garble = true;
    EXPECT_FALSE(instr.Command("TEC:T 35.000000", true, 5000));
    EXPECT_EQ(CInstrBase::LastCommandOutcome(), ECommandOutcome::Unconfirmed);
    garble = false;
    EXPECT_TRUE(instr.Command("TEC:T 36.000000", true, 5000));
    EXPECT_EQ(CInstrBase::LastCommandOutcome(), ECommandOutcome::Accepted);
    // Each thread keeps its own: the poll thread's commands do not change what this one was told.
    std::thread([] { CInstrBase::ResetLastCommandOutcome(); }).join();
    EXPECT_EQ(CInstrBase::LastCommandOutcome(), ECommandOutcome::Accepted);

    ASSERT_TRUE(instr.StopBackgroundThread(5000));
    instr.GetPort().Close();
    EXPECT_FALSE(instr.Command("TEC:T 37.000000", true));
    EXPECT_EQ(CInstrBase::LastCommandOutcome(), ECommandOutcome::NotSent);
}

// ---------------------------------------------------------------------------------------------------

struct SQueryRow
{
    std::vector<std::string> replies; // one per attempt, the last repeated
    bool result;
    std::string value;
    std::vector<int> errors;
    size_t attempts;
};

class QueryCheckedTest : public SessionTest, public ::testing::WithParamInterface<SQueryRow>
{
};

TEST_P(QueryCheckedTest, ValueErrorsAndRetries)
{
    Open();
    CaptureSink trace(ccComm, 1);
    std::atomic<size_t> asked{0};
    const auto& replies = GetParam().replies;
    unit.SetOverride(
        [&](const std::string& line, std::string& reply)
        {
            if (line != ":LPS:I?;ERR?")
                return false;
            reply = replies[std::min(asked++, replies.size() - 1)] + "\r\n";
            return true;
        });
    std::string value = "untouched";
    EXPECT_EQ(instr.QueryChecked(":LPS:I?;", true, value), GetParam().result);
    if (GetParam().result)
    {
        EXPECT_EQ(value, GetParam().value);
    }
    EXPECT_EQ(asked.load(), GetParam().attempts);
    EXPECT_EQ(ErrorNumbers(), GetParam().errors);
    EXPECT_EQ(trace.Count(kPurgeMessage), GetParam().attempts - (GetParam().result ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, QueryCheckedTest,
    ::testing::Values(SQueryRow{{"1.250,0"}, true, "1.250", {}, 1},
                      SQueryRow{{"1.250,201,0"}, true, "1.250", {201}, 1},
                      SQueryRow{{"1.250", "1.250,0"}, true, "1.250", {}, 2}, // error field missing: retry
                      SQueryRow{{"1.250"}, false, "", {}, 4},
                      // a reading where the error list belongs: another question's reply, asked again
                      SQueryRow{{"1.250,25.000,0", "1.250,0"}, true, "1.250", {}, 2}),
    [](const auto& info) { return "Row" + std::to_string(info.index); });

// ---------------------------------------------------------------------------------------------------

struct SListRow
{
    std::vector<std::string> commands;
    bool check;
    std::string line; // exactly what goes on the wire
    std::string reply;
    std::vector<std::string> values;
    std::vector<int> errors;
};

class QueryListCombinedTest : public SessionTest, public ::testing::WithParamInterface<SListRow>
{
};

TEST_P(QueryListCombinedTest, SendsOneJoinedLineAndSplitsTheReply)
{
    Open(false);
    const SListRow& row = GetParam();
    std::vector<std::string> values{"stale"};
    auto result = std::async(std::launch::async,
                             [&] { return instr.QueryList(row.commands, values, false, row.check); });
    EXPECT_EQ(unit.Pty().ReadCount(row.line.size(), 2000), row.line);
    ASSERT_TRUE(unit.Pty().Write(row.reply + "\r\n", 1000));
    EXPECT_TRUE(result.get());
    EXPECT_EQ(values, row.values);
    EXPECT_EQ(ErrorNumbers(), row.errors);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, QueryListCombinedTest,
    ::testing::Values(
        SListRow{{":TEC:CHAN?;", "ITE?;"}, true, "\n:TEC:CHAN?;ITE?;ERR?\n", "1,0.512,0", {"1", "0.512"}, {}},
        SListRow{{":TEC:CHAN?;", "ITE?;"}, false, "\n:TEC:CHAN?;ITE?;\n", "1,0.512", {"1", "0.512"}, {}},
        SListRow{
            {"T?", "R?"}, true, "\nT?;R?;ERR?\n", "25.00,10.000,201,401", {"25.00", "10.000"}, {201, 401}}),
    [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST_F(SessionTest, QueryListAsksAgainWhenTheReplyHasAnotherLength)
{
    Open();
    // Shared with the unit's thread, which may outlive this scope.
    auto asked = std::make_shared<std::atomic<size_t>>(0);
    unit.SetOverride(
        [asked](const std::string& line, std::string& reply)
        {
            static const std::vector<std::string> replies{"1,0.512,25.000", "1", "1,0.512"};
            if (line != ":TEC:CHAN?;ITE?;")
                return false;
            reply = replies[std::min((*asked)++, replies.size() - 1)] + "\r\n";
            return true;
        });
    std::vector<std::string> values;
    EXPECT_TRUE(instr.QueryList({":TEC:CHAN?;", "ITE?;"}, values, false, false));
    EXPECT_EQ(values, (std::vector<std::string>{"1", "0.512"}));
    EXPECT_EQ(asked->load(), 3u);
}

TEST_F(SessionTest, QueryListOneByOneCollectsValuesThenReadsErrors)
{
    Open();
    unit.SetAnswer(":TEC:CHAN?", "1");
    unit.SetAnswer("ITE?", "0.512");
    unit.PushError(201);
    std::vector<std::string> values;
    EXPECT_TRUE(instr.QueryList({":TEC:CHAN?;", "ITE?;"}, values, true, true));
    EXPECT_EQ(values, (std::vector<std::string>{"1", "0.512"}));
    EXPECT_EQ(unit.Lines(), (std::vector<std::string>{":TEC:CHAN?;", "ITE?;", "ERR?"}));
    EXPECT_EQ(ErrorNumbers(), std::vector<int>{201});

    // An unanswered query fails the whole list.
    EXPECT_FALSE(instr.QueryList({":TEC:CHAN?;", "NOSUCH?;"}, values, true, false));
}

// ---------------------------------------------------------------------------------------------------
// Retries must not report success when the port closed or polling was stopped in the middle.

enum class ERetried
{
    Checked,
    List
};

class RetryAbortTest : public SessionTest, public ::testing::WithParamInterface<ERetried>
{
protected:
    bool RunRetried()
    {
        std::vector<std::string> values;
        std::string value;
        return GetParam() == ERetried::Checked
                   ? instr.QueryChecked(":LPS:I?;", true, value)
                   : instr.QueryList({":LPS:I?;", ":LPS:V?;"}, values, false, true);
    }
};

TEST_P(RetryAbortTest, PortClosingDuringRetryIsAFailure)
{
    Open(false);
    CaptureSink trace(ccComm, 1);
    auto result = std::async(std::launch::async, [&] { return RunRetried(); });
    EXPECT_FALSE(unit.Pty().ReadUntil('\n', 2000).empty()); // the leading line feed
    EXPECT_FALSE(unit.Pty().ReadUntil('\n', 2000).empty()); // the query line
    ASSERT_TRUE(unit.Pty().Write("1.250\r\n", 1000));       // short: no error field
    ASSERT_TRUE(WaitUntil([&] { return trace.Contains(kPurgeMessage); }));
    unit.Pty().CloseMaster();
    EXPECT_FALSE(result.get());
    EXPECT_EQ(trace.Count(kPurgeMessage), 1u);
    EXPECT_FALSE(instr.IsPortOpen());
}

TEST_P(RetryAbortTest, StopDuringRetryIsAFailure)
{
    Open();
    CaptureSink trace(ccComm, 1);
    unit.SetOverride(
        [](const std::string& line, std::string& reply)
        {
            reply = line.starts_with(":LPS:") ? "1.250\r\n" : "";
            return line.starts_with(":LPS:");
        });
    std::promise<bool> outcome;
    std::atomic<bool> once{false};
    instr.SetHook(
        [&]
        {
            if (!once.exchange(true))
                outcome.set_value(RunRetried());
        });
    ASSERT_TRUE(instr.StartBackgroundThread(0));
    ASSERT_TRUE(WaitUntil([&] { return trace.Contains(kPurgeMessage); }));
    EXPECT_TRUE(instr.StopBackgroundThread(5000));
    auto future = outcome.get_future();
    ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(future.get());
    EXPECT_LT(trace.Count(kPurgeMessage), 4u);
}

INSTANTIATE_TEST_SUITE_P(Operations, RetryAbortTest, ::testing::Values(ERetried::Checked, ERetried::List),
                         [](const auto& info)
                         { return info.param == ERetried::Checked ? "Checked" : "List"; });

// ---------------------------------------------------------------------------------------------------
// Background thread and hand-over

TEST_F(SessionTest, QueryAndCommandWhilePollingAreCarriedOutByThePollThread)
{
    Open();
    unit.SetAnswer("POLL?", "1");
    instr.SetHook([&] { instr.QueryDirect("POLL?", -1); });
    StartPolling();
    EXPECT_TRUE(instr.IsPolling());

    EXPECT_EQ(instr.Query("SN?"), "SN1234");
    EXPECT_NE(instr.ThreadOf("SN?"), std::this_thread::get_id());
    EXPECT_NE(instr.ThreadOf("SN?"), std::thread::id{});

    EXPECT_TRUE(instr.Command("MESS hello", true));
    unit.PushError(201);
    EXPECT_FALSE(instr.Command("LAS:LDI 999", true));
    EXPECT_EQ(ErrorNumbers(), std::vector<int>{201});
    EXPECT_TRUE(unit.WaitForLine("LAS:LDI 999", 1, 1000ms));
}

// The window's thread marks itself: each call it makes to the unit, directly or through the poll thread,
// is counted; the poll thread's own traffic and other threads' calls are not.
TEST_F(SessionTest, CallsToTheUnitFromTheWindowsThreadAreCounted)
{
    Open();
    const int before = CWaitWatch::Count();
    std::thread window(
        [&]
        {
            CWaitWatch::ForbidWaitsOnThisThread();
            EXPECT_EQ(instr.Query("SN?"), "SN1234");
            EXPECT_TRUE(instr.Command("MESS hello", false));
        });
    window.join();
    EXPECT_EQ(CWaitWatch::Count(), before + 2);

    unit.SetAnswer("POLL?", "1");
    instr.SetHook([&] { instr.QueryDirect("POLL?", -1); });
    StartPolling();
    std::thread marked(
        [&]
        {
            CWaitWatch::ForbidWaitsOnThisThread();
            EXPECT_EQ(instr.Query("SN?"), "SN1234");
        });
    marked.join();
    EXPECT_EQ(instr.Query("SN?"), "SN1234"); // this thread is not marked
    EXPECT_EQ(CWaitWatch::Count(), before + 3);
}

TEST_F(SessionTest, CyclesStartOncePerPeriodAndRequestsAreCarriedOutBetweenThem)
{
    Open();
    std::mutex startsLock;
    std::vector<std::chrono::steady_clock::time_point> starts;
    instr.SetHook(
        [&]
        {
            std::lock_guard lock(startsLock);
            starts.push_back(std::chrono::steady_clock::now());
        });
    // A long period: a request made meanwhile does not wait for the next cycle, nor starts one.
    ASSERT_TRUE(instr.StartBackgroundThread(10000));
    ASSERT_TRUE(WaitUntil([&] { return instr.IsFirstCycleDone(); }));
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(instr.Query("SN?"), "SN1234");
    EXPECT_TRUE(instr.Command("MESS hello", true));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 5000ms);
    EXPECT_EQ(instr.cycles.load(), 1);
    ASSERT_TRUE(instr.StopBackgroundThread(5000));

    // Cycles a period apart from start to start, however little each one does.
    {
        std::lock_guard lock(startsLock);
        starts.clear();
    }
    ASSERT_TRUE(instr.StartBackgroundThread(60));
    ASSERT_TRUE(WaitUntil(
        [&]
        {
            std::lock_guard lock(startsLock);
            return starts.size() >= 4;
        }));
    ASSERT_TRUE(instr.StopBackgroundThread(5000));
    for (size_t i = 1; i < starts.size(); ++i)
        EXPECT_GE(starts[i] - starts[i - 1], 60ms) << "cycle " << i;

    // Never faster than the floor.
    instr.SetPollPeriodMs(0);
    EXPECT_EQ(instr.GetPollPeriodMs(), CInstrBase::MinPollPeriodMs);
}

TEST_F(SessionTest, StalledPollThreadTimesOutTheCallerAndDropsTheRequest)
{
    Open();
    CaptureSink trace(ccComm, 1);
    std::mutex gateLock;
    std::condition_variable gateChanged;
    bool stall = false;
    instr.SetHook(
        [&]
        {
            std::unique_lock lock(gateLock);
            gateChanged.wait_for(lock, 10s, [&] { return !stall; });
        });
    StartPolling();
    {
        std::lock_guard lock(gateLock);
        stall = true;
    }
    const int cyclesBefore = instr.cycles.load();
    ASSERT_TRUE(WaitUntil([&] { return instr.cycles.load() > cyclesBefore; })); // inside the stalled hook

    EXPECT_EQ(instr.Query("SN?", 200), "");
    EXPECT_TRUE(trace.Contains("Timeout on command: SN?"));
    EXPECT_FALSE(instr.Command("MESS late", true, 100));
    EXPECT_EQ(CInstrBase::LastCommandOutcome(), ECommandOutcome::NotSent);

    {
        std::lock_guard lock(gateLock);
        stall = false;
    }
    gateChanged.notify_all();
    // The next caller gets its own answer; the abandoned requests never reach the unit.
    EXPECT_EQ(instr.Query("MODEL?"), "K760");
    EXPECT_EQ(unit.Count("SN?"), 0u);
    EXPECT_EQ(unit.Count("MESS late"), 0u);
    // The hook holds this test's gate: polling ends before the gate goes.
    EXPECT_TRUE(instr.StopBackgroundThread(5000));
}

TEST_F(SessionTest, PauseHandsThePortBackAndResumeTakesItAgain)
{
    Open();
    EXPECT_TRUE(instr.StopBackgroundThread(1000)); // idle: at once
    StartPolling();
    EXPECT_TRUE(instr.PauseBackgroundThread(true, 2000));
    EXPECT_TRUE(instr.IsPaused());
    EXPECT_FALSE(instr.IsPolling());
    EXPECT_EQ(instr.Query("SN?"), "SN1234");
    EXPECT_EQ(instr.ThreadOf("SN?"), std::this_thread::get_id());

    EXPECT_FALSE(instr.PauseBackgroundThread(false, 2000));
    EXPECT_FALSE(instr.IsPaused());
    EXPECT_TRUE(instr.IsPolling());
    EXPECT_FALSE(instr.PauseBackgroundThread(false, 2000)); // not paused any more
}

TEST_F(SessionTest, ThreadEndedByAnExceptionCanBeStoppedAndRestarted)
{
    Open();
    std::atomic<bool> thrown{false};
    instr.SetHook(
        [&]
        {
            if (!thrown.exchange(true))
                throw std::runtime_error("poll failed");
        });
    ASSERT_TRUE(instr.StartBackgroundThread(0) || thrown.load());
    EXPECT_TRUE(WaitUntil([&] { return thrown.load() && !instr.IsPolling(); }));
    EXPECT_TRUE(instr.StopBackgroundThread(25000));
    StartPolling();
    EXPECT_TRUE(instr.IsPolling());
}

// ---------------------------------------------------------------------------------------------------
// Identity caches and factory memory

TEST_F(SessionTest, IdentityTextsAreQueriedOnceAndMessageUpdatesItsCache)
{
    Open();
    EXPECT_EQ(instr.GetSerialNumber(), "SN1234");
    EXPECT_EQ(instr.GetSerialNumber(), "SN1234");
    EXPECT_EQ(unit.Count("SN?"), 1u);

    EXPECT_TRUE(instr.SetMessage("Bench 3"));
    EXPECT_EQ(instr.GetMessage(), "Bench 3");
    EXPECT_EQ(unit.Count("MESS Bench 3"), 1u);
    EXPECT_EQ(unit.Count("MESSAGE?"), 0u);
}

TEST_F(SessionTest, MemoryReadsInChunksAndAssemblesLittleEndianOrSwapped)
{
    Open();
    unit.SetOverride(
        [](const std::string& line, std::string& reply)
        {
            int address = 0, count = 0, area = 0;
            if (std::sscanf(line.c_str(), "!!READ %d, %d, %d", &address, &count, &area) != 3)
                return false;
            for (int i = 0; i < count; ++i)
            {
                char byte[4];
                std::snprintf(byte, sizeof byte, "%02X ", (address + i) & 0xFF);
                reply += byte;
            }
            reply += "\r\n";
            return true;
        });
    uint16_t value = 0;
    ASSERT_TRUE(instr.ReadMemoryU16(0x12, 8, value, false));
    EXPECT_EQ(value, 0x1312);
    ASSERT_TRUE(instr.ReadMemoryU16(0x12, 8, value, true));
    EXPECT_EQ(value, 0x1213);

    std::vector<uint8_t> block;
    ASSERT_TRUE(instr.ReadMemoryBlock(100, 40, 7, block));
    ASSERT_EQ(block.size(), 40u);
    EXPECT_EQ(block[39], 139);
    EXPECT_EQ(unit.Count("!!READ 100, 32, 7"), 1u);
    EXPECT_EQ(unit.Count("!!READ 132, 8, 7"), 1u);
}

TEST_F(SessionTest, MemoryWriteSendsEachByteAndStopsAtARefusal)
{
    Open();
    EXPECT_TRUE(instr.WriteMemoryU16(8, 7, 0x1234, false));
    EXPECT_EQ(unit.Lines(),
              (std::vector<std::string>{"!!WRITE 8, 52, 7", "err?", "!!WRITE 9, 18, 7", "err?"}));

    unit.PushError(201);
    EXPECT_FALSE(instr.WriteMemoryU16(8, 7, 0x1234, true));
    EXPECT_EQ(unit.Count("!!WRITE 8, 18, 7"), 1u);
    EXPECT_EQ(unit.Count("!!WRITE 9, 52, 7"), 0u);
    EXPECT_EQ(ErrorNumbers(), std::vector<int>{201});
}

TEST(CountDecimals, DigitsAfterTheFirstPoint)
{
    CInstrBase instr;
    const std::pair<const char*, int> rows[] = {
        {"1.250", 3}, {"25", 0}, {"-0.5e3", 1}, {"1.2.3", 1}, {"7.", 0}};
    for (const auto& [text, expected] : rows)
    {
        int count = -1;
        instr.CountDecimals(text, count);
        EXPECT_EQ(count, expected) << text;
    }
}

} // namespace
