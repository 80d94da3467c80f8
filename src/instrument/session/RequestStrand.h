#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// Runs the requests posted for one instrument one after another, in the order they were posted, on a
// thread of their own, so that whoever posts never waits for the instrument. The thread ends when the
// queue is empty and nobody joins it: dropping the strand returns at once, and the requests still
// queued run to their end (each holds what it needs). Before the program ends, WaitForAll gives the
// strands a bounded time to finish.
class CRequestStrand : public std::enable_shared_from_this<CRequestStrand>
{
public:
    using Job = std::function<void()>;

    static std::shared_ptr<CRequestStrand> Create();
    ~CRequestStrand();
    CRequestStrand(const CRequestStrand&) = delete;
    CRequestStrand& operator=(const CRequestStrand&) = delete;

    void Post(Job job);
    // Holds the strand for someone who talks to the instrument directly: the requests posted before the
    // hold run to their end, those posted after it wait until every hold is given back. Waits up to
    // timeoutMs for the earlier ones (true when they ended); the hold stays either way, and nested
    // holds count. Its owner gives it back with Release exactly once.
    bool Hold(int timeoutMs);
    void Release();
    // Requests posted and not finished yet, the running one included.
    int Backlog() const;
    // Waits up to timeoutMs until every request posted so far has ended; true when they have.
    bool WaitIdle(int timeoutMs) const;

    // Waits up to timeoutMs until no strand of the process has a request left; true when none has.
    static bool WaitForAll(int timeoutMs);
    // Strands of the process with requests left.
    static int Busy();

private:
    CRequestStrand() = default;
    void Drain();

    mutable std::mutex m_lock;
    mutable std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_running = false; // a thread drains the queue
    int m_holds = 0;
    bool m_holdReached = false; // the strand stands at the hold
    std::condition_variable m_holdChanged;
    int m_backlog = 0;
};
