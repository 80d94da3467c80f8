#include "instrument/session/ReadingFreshness.h"

void CReadingFreshness::BeginCycle()
{
    m_running.store(m_completed.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void CReadingFreshness::EndCycle()
{
    const uint64_t running = m_running.exchange(0, std::memory_order_acq_rel);
    if (running != 0)
        m_completed.store(running, std::memory_order_release);
}

void CReadingFreshness::Mark(int index)
{
    const uint64_t running = m_running.load(std::memory_order_relaxed);
    if (running != 0 && index >= 0 && index < Capacity)
        m_stamps[static_cast<size_t>(index)].store(running, std::memory_order_release);
}

void CReadingFreshness::Forget()
{
    for (auto& stamp : m_stamps)
        stamp.store(0, std::memory_order_relaxed);
    m_completed.store(0, std::memory_order_release);
}

bool CReadingFreshness::IsFresh(int index) const
{
    if (index < 0 || index >= Capacity)
        return false;
    const uint64_t stamp = m_stamps[static_cast<size_t>(index)].load(std::memory_order_acquire);
    return stamp != 0 && stamp >= m_completed.load(std::memory_order_acquire);
}
