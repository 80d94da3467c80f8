#include "instrument/session/ReadingFreshness.h"

#include "comm/LinkSilence.h"

#include <algorithm>

namespace
{
constexpr auto Relaxed = std::memory_order_relaxed;
}

int64_t CReadingFreshness::Now()
{
    return CLinkSilence::NowMs();
}

int64_t CReadingFreshness::CeilingForBaud(int baud)
{
    if (baud <= 0 || baud >= FastLinkBaud)
        return FastLinkCeilingMs;
    return FastLinkCeilingMs * FastLinkBaud / baud;
}

void CReadingFreshness::BeginCycle(int64_t ceilingMs, int64_t nowMs)
{
    // A period is measured only between two good cycles that follow each other; it is the time from
    // one start to the next, so a multi-channel unit counts its other channels' polls in it too.
    const int64_t lastGood = m_lastGoodStart.exchange(0, Relaxed);
    if (lastGood != 0 && nowMs >= lastGood)
        AddPeriod(nowMs - lastGood, ceilingMs);
    else if (m_boundMs.load(Relaxed) == 0)
        m_boundMs.store(ceilingMs, std::memory_order_release); // nothing measured yet

    m_cycleStart.store(nowMs, Relaxed);
    m_running.store(true, std::memory_order_release);
}

void CReadingFreshness::AddPeriod(int64_t periodMs, int64_t ceilingMs)
{
    // A pause of polling or a retried reply would inflate the estimate for long: one sample never
    // counts for more than half the ceiling.
    const int slot = m_nextPeriod.load(Relaxed);
    m_periods[static_cast<size_t>(slot)].store(std::min(periodMs, ceilingMs / 2), Relaxed);
    m_nextPeriod.store((slot + 1) % PeriodSamples, Relaxed);
    int64_t longest = 0;
    for (const auto& period : m_periods)
        longest = std::max(longest, period.load(Relaxed));
    m_boundMs.store(std::min(2 * longest + MarginMs, ceilingMs), std::memory_order_release);
}

void CReadingFreshness::EndCycle(bool good)
{
    if (!m_running.exchange(false, std::memory_order_acq_rel))
        return;
    if (good)
        m_lastGoodStart.store(m_cycleStart.load(Relaxed), Relaxed);
    m_completed.fetch_add(1, std::memory_order_acq_rel);
}

void CReadingFreshness::Mark(int index, int64_t nowMs)
{
    if (m_running.load(std::memory_order_acquire) && index >= 0 && index < Capacity)
        m_stamps[static_cast<size_t>(index)].store(nowMs, std::memory_order_release);
}

void CReadingFreshness::Forget()
{
    for (auto& stamp : m_stamps)
        stamp.store(0, Relaxed);
    for (auto& period : m_periods)
        period.store(0, Relaxed);
    m_lastGoodStart.store(0, Relaxed);
    m_boundMs.store(0, std::memory_order_release);
    m_completed.store(0, std::memory_order_release);
}

bool CReadingFreshness::IsFresh(int index, int64_t nowMs) const
{
    if (index < 0 || index >= Capacity)
        return false;
    const int64_t stamp = m_stamps[static_cast<size_t>(index)].load(std::memory_order_acquire);
    return stamp != 0 && nowMs - stamp <= BoundMs();
}
