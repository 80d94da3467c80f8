#pragma once

#include <array>
#include <cstddef>
#include <mutex>

// The last few polled values of one reading, averaged on request. The poll thread appends while the
// user-interface thread averages, so both go through a small lock.
class ReadingHistory
{
public:
    static constexpr std::size_t Capacity = 10;

    // When full, the oldest value is dropped.
    void Append(float value);
    // Mean of the stored values; 0 when empty.
    float Average() const;
    std::size_t Count() const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::array<float, Capacity> m_values{};
    std::size_t m_next = 0;  // slot the next value goes to
    std::size_t m_count = 0; // stored values, at most Capacity
};
