#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// Which cached values the last completed poll cycle of one channel refreshed. The poll thread numbers
// its cycles and stamps each value it stores with the running cycle; a reader on any thread asks
// whether a value's stamp is at least the last completed cycle. A value refreshed by the cycle now
// running counts as fresh too, so a reader never sees a gap between two good cycles.
//
// A value read outside a poll cycle (at connect) carries no stamp: only polls make a value fresh.
class CReadingFreshness
{
public:
    static constexpr int Capacity = 32;

    // The poll thread brackets each cycle of the channel with these two.
    void BeginCycle();
    void EndCycle();
    // The poll thread stored value index during the running cycle; outside a cycle nothing changes.
    void Mark(int index);
    // Every value unknown again (reconnect, reset of the channel's state).
    void Forget();

    // True when the last completed cycle (or the one running) refreshed value index.
    bool IsFresh(int index) const;
    // Cycles of this channel completed since it was made or last forgotten.
    uint64_t CompletedCycles() const { return m_completed.load(std::memory_order_acquire); }

private:
    std::array<std::atomic<uint64_t>, Capacity> m_stamps{};
    std::atomic<uint64_t> m_running{0};   // the cycle in progress, 0 outside a cycle
    std::atomic<uint64_t> m_completed{0}; // the last cycle that ended
};
