#include "instrument/session/ReadingHistory.h"

void ReadingHistory::Append(float value)
{
    std::lock_guard lock(m_lock);
    m_values[m_next] = value;
    m_next = (m_next + 1) % Capacity;
    if (m_count < Capacity)
    {
        ++m_count;
    }
}

float ReadingHistory::Average() const
{
    std::lock_guard lock(m_lock);
    if (m_count == 0)
    {
        return 0.0f;
    }
    // Summed in double so ten readings near a large offset keep their last digits.
    double sum = 0.0;
    for (std::size_t i = 0; i < m_count; ++i)
    {
        sum += m_values[i];
    }
    return static_cast<float>(sum / static_cast<double>(m_count));
}

std::size_t ReadingHistory::Count() const
{
    std::lock_guard lock(m_lock);
    return m_count;
}

void ReadingHistory::Clear()
{
    std::lock_guard lock(m_lock);
    m_next = 0;
    m_count = 0;
}
