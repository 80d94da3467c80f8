#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// A non-recursive lock that can be waited for with a time-out (TimedLockable, so std::unique_lock
// works). Built on a mutex and a condition variable because std::timed_mutex waits through
// pthread_mutex_clocklock, which this compiler's ThreadSanitizer does not follow.
class CTimedLock
{
public:
    void lock();
    bool try_lock();
    bool try_lock_for(std::chrono::milliseconds timeout);
    void unlock();

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
};
