#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// How old each cached value of one channel is. The poll thread stamps a value with the time it stored
// it; a reader on any thread calls it live only while that stamp is younger than the channel's bound:
// two of its own measured poll periods plus a margin, never more than the link's ceiling. A unit that
// stops answering thus loses its live readings within the bound, however long its retries take.
//
// A value read outside a poll cycle (at connect) carries no stamp: only polls make a value live.
class CReadingFreshness
{
public:
    static constexpr int Capacity = 32;
    // Room for jitter beyond two periods: a reply held up by a command the user sent meanwhile.
    static constexpr int64_t MarginMs = 500;
    // The ceiling at 38400 baud and on a network link; a slower line scales it with its byte time.
    static constexpr int64_t FastLinkCeilingMs = 2000;
    static constexpr int FastLinkBaud = 38400;

    // The ceiling of the bound for a link of this baud rate (0: a network link).
    static int64_t CeilingForBaud(int baud);

    // The poll thread brackets each cycle of the channel with these two; good says whether the cycle
    // read everything it asked for. Times are CLinkSilence::NowMs() unless a test passes its own.
    void BeginCycle(int64_t ceilingMs, int64_t nowMs = Now());
    void EndCycle(bool good);
    // The poll thread stored value index during the running cycle; outside a cycle nothing changes.
    void Mark(int index, int64_t nowMs = Now());
    // Every value unknown again (reconnect, reset of the channel's state).
    void Forget();

    // True while value index was stored by a poll no longer ago than the bound.
    bool IsFresh(int index, int64_t nowMs = Now()) const;
    // The age up to which a value counts as live, in ms.
    int64_t BoundMs() const { return m_boundMs.load(std::memory_order_acquire); }
    // Cycles of this channel completed since it was made or last forgotten.
    uint64_t CompletedCycles() const { return m_completed.load(std::memory_order_acquire); }

private:
    static int64_t Now();
    void AddPeriod(int64_t periodMs, int64_t ceilingMs);

    static constexpr int PeriodSamples = 8;

    std::array<std::atomic<int64_t>, Capacity> m_stamps{};
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_completed{0};
    std::atomic<int64_t> m_boundMs{0}; // 0: no cycle yet
    // Poll thread only: the start of the last good cycle (0: none) and the recent periods.
    std::atomic<int64_t> m_lastGoodStart{0};
    std::atomic<int64_t> m_cycleStart{0};
    std::array<std::atomic<int64_t>, PeriodSamples> m_periods{};
    std::atomic<int> m_nextPeriod{0};
};
