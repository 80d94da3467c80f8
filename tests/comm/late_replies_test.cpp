#include "comm/LateReplies.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Clock = CLateReplies::Clock;
using namespace std::chrono_literals;

// Lines as a port would return them: the queued ones, then nothing (a time-out).
struct SLines
{
    std::vector<std::string> queued;
    int reads = 0;
    std::string operator()(int)
    {
        ++reads;
        if (queued.empty())
            return {};
        std::string line = queued.front();
        queued.erase(queued.begin());
        return line;
    }
};

TEST(LateReplies, OwedLinesAreReadAwayAndNothingIsOwedAfterwards)
{
    CLateReplies late;
    SLines lines{{"1,25.000,0", "76042", "the next question's answer"}};
    late.Owe(Clock::now() + 2s);
    late.Owe(Clock::now() + 2s);
    EXPECT_EQ(late.Discard(std::ref(lines)), 2);
    EXPECT_EQ(lines.queued, std::vector<std::string>{"the next question's answer"});
    EXPECT_FALSE(late.IsOwed());
    EXPECT_EQ(late.Discard(std::ref(lines)), 0); // nothing owed: nothing read
    EXPECT_EQ(lines.reads, 2);
}

TEST(LateReplies, AReplyThatDoesNotComeOrComesTooLateCountsAsLost)
{
    CLateReplies late;
    SLines silent;
    late.Owe(Clock::now() + 1s);
    EXPECT_EQ(late.Discard(std::ref(silent)), 0); // the read timed out: lost
    EXPECT_FALSE(late.IsOwed());

    SLines waiting{{"too late"}};
    late.Owe(Clock::now() - 1ms); // its time has passed: not even read
    EXPECT_EQ(late.Discard(std::ref(waiting)), 0);
    EXPECT_EQ(waiting.reads, 0);
}

TEST(LateReplies, TheWaitDoublesUpToItsBoundAndHalvesBackToTheLeast)
{
    CLateReplies late;
    EXPECT_EQ(late.GetWaitMs(), CLateReplies::LeastWaitMs);
    late.Widen(2000);
    late.Widen(2000);
    late.Widen(2000);
    EXPECT_EQ(late.GetWaitMs(), 2000);
    late.Narrow();
    EXPECT_EQ(late.GetWaitMs(), 1000);
    late.Narrow();
    late.Narrow();
    EXPECT_EQ(late.GetWaitMs(), CLateReplies::LeastWaitMs);
    late.Widen(2000);
    late.Forget();
    EXPECT_EQ(late.GetWaitMs(), CLateReplies::LeastWaitMs);
}
} // namespace
