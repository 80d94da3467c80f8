#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Tells the module's waits that a poll cycle has ended (or that the unit went), so that a wait wakes
// when there is something new to look at rather than looking again and again.
class CPyCycleSignal
{
public:
    // From the poll thread after each cycle, and from Disconnect.
    void Notify();
    uint64_t Count() const;
    // Until the count has passed seen or timeoutMs has passed; the count then. Never with the GIL.
    uint64_t WaitPast(uint64_t seen, int timeoutMs) const;

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    uint64_t m_count = 0; // under m_lock
};
