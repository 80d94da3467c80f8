// The strand that carries a panel's requests to its instrument: order, holds, and the bounded wait at
// the end, with requests posted from several threads while others run.
#include "instrument/session/RequestStrand.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;

// A gate a request waits at until the test opens it (bounded, so a broken test ends).
class CGate
{
public:
    void Open()
    {
        std::lock_guard lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }
    bool Wait()
    {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, 10s, [this] { return m_open; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
};

TEST(RequestStrand, RunsRequestsInTheOrderPostedFromAnyThread)
{
    auto strand = CRequestStrand::Create();
    std::mutex lock;
    std::vector<int> ran;
    // Two posters, each in its own order; the strand keeps each poster's order and runs one at a time.
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    auto post = [&](int base)
    {
        for (int i = 0; i < 200; ++i)
            strand->Post(
                [&, value = base + i]
                {
                    if (running.fetch_add(1) != 0)
                        overlapped = true;
                    {
                        std::lock_guard guard(lock);
                        ran.push_back(value);
                    }
                    running.fetch_sub(1);
                });
    };
    std::thread first(post, 0);
    std::thread second(post, 1000);
    first.join();
    second.join();
    ASSERT_TRUE(strand->WaitIdle(10000));
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(ran.size(), 400u);
    int lastFirst = -1;
    int lastSecond = 999;
    for (int value : ran)
    {
        int& last = value < 1000 ? lastFirst : lastSecond;
        EXPECT_GT(value, last);
        last = value;
    }
    EXPECT_EQ(strand->Backlog(), 0);
}

TEST(RequestStrand, AHoldLetsEarlierRequestsFinishAndKeepsLaterOnesBack)
{
    auto strand = CRequestStrand::Create();
    CGate gate;
    CGate firstDone;
    std::atomic<int> step{0};
    strand->Post(
        [&]
        {
            gate.Wait();
            step = 1;
            firstDone.Open();
        });
    // The earlier request is still running: the hold's wait runs out, and the hold stays.
    EXPECT_FALSE(strand->Hold(50));
    strand->Post([&] { step = 2; });
    // Nested: a page inside a sheet.
    EXPECT_TRUE(strand->Hold(50));
    gate.Open();
    ASSERT_TRUE(firstDone.Wait());
    EXPECT_TRUE(strand->Hold(0)); // a third, nested, is held already
    EXPECT_FALSE(strand->WaitIdle(50));
    EXPECT_EQ(step.load(), 1);
    strand->Release();
    strand->Release();
    EXPECT_EQ(step.load(), 1);
    EXPECT_FALSE(strand->WaitIdle(50));
    strand->Release();
    ASSERT_TRUE(strand->WaitIdle(10000));
    EXPECT_EQ(step.load(), 2);
    // A release too many changes nothing.
    strand->Release();
    EXPECT_TRUE(strand->Hold(10000));
    strand->Release();
}

TEST(RequestStrand, DroppingTheStrandNeverWaitsAndItsRequestsStillRun)
{
    CGate gate;
    std::atomic<bool> done{false};
    auto owned = std::make_shared<int>(7);
    std::weak_ptr<int> watch = owned;
    {
        auto strand = CRequestStrand::Create();
        strand->Post([&gate, &done, owned = std::move(owned)] { done = gate.Wait() && *owned == 7; });
    }
    EXPECT_GE(CRequestStrand::Busy(), 1);
    EXPECT_FALSE(CRequestStrand::WaitForAll(50));
    gate.Open();
    ASSERT_TRUE(CRequestStrand::WaitForAll(10000));
    EXPECT_TRUE(done);
    // What the request held went with it.
    EXPECT_TRUE(watch.expired());
}

TEST(RequestStrand, ARequestThatThrowsDoesNotStopTheOnesAfterIt)
{
    auto strand = CRequestStrand::Create();
    std::atomic<bool> after{false};
    strand->Post([] { throw std::runtime_error("port gone"); });
    strand->Post([&] { after = true; });
    ASSERT_TRUE(strand->WaitIdle(10000));
    EXPECT_TRUE(after);
}
} // namespace
