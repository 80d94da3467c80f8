#pragma once

#include <cstddef>
#include <vector>

// The points of one trend series in bounded memory: the newest points at full rate, older ones merged
// pairwise (the earlier time, the mean value; so the first point keeps its time) each time it fills, so that
// a day at the poll rate fits in the same few thousand points as a minute. Appending costs O(1) amortised.
class CTrendBuffer
{
public:
    struct SPoint
    {
        double time; // [ms since the epoch]
        double value;
    };

    static constexpr size_t DefaultCapacity = 4096;

    explicit CTrendBuffer(size_t capacity = DefaultCapacity);

    void Append(double time, double value);
    void Clear() { m_points.clear(); }
    const std::vector<SPoint>& Points() const { return m_points; }
    size_t Capacity() const { return m_capacity; }
    // Everything appended so far, merged or not.
    size_t Appended() const { return m_appended; }

private:
    void CompactOlderHalf();

    size_t m_capacity;
    size_t m_appended = 0;
    std::vector<SPoint> m_points;
};
