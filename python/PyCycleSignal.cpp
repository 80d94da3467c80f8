#include "PyCycleSignal.h"

#include <chrono>

void CPyCycleSignal::Notify()
{
    {
        const std::lock_guard lock(m_lock);
        ++m_count;
    }
    m_changed.notify_all();
}

uint64_t CPyCycleSignal::Count() const
{
    const std::lock_guard lock(m_lock);
    return m_count;
}

uint64_t CPyCycleSignal::WaitPast(uint64_t seen, int timeoutMs) const
{
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_count > seen; });
    return m_count;
}
