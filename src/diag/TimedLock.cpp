#include "diag/TimedLock.h"

void CTimedLock::lock()
{
    std::unique_lock guard(m_mutex);
    m_released.wait(guard, [this] { return !m_held; });
    m_held = true;
}

bool CTimedLock::try_lock()
{
    std::lock_guard guard(m_mutex);
    if (m_held)
        return false;
    m_held = true;
    return true;
}

bool CTimedLock::try_lock_for(std::chrono::milliseconds timeout)
{
    std::unique_lock guard(m_mutex);
    if (!m_released.wait_for(guard, timeout, [this] { return !m_held; }))
        return false;
    m_held = true;
    return true;
}

void CTimedLock::unlock()
{
    {
        std::lock_guard guard(m_mutex);
        m_held = false;
    }
    m_released.notify_one();
}
