#include "ui/widgets/TrendBuffer.h"

#include <algorithm>

CTrendBuffer::CTrendBuffer(size_t capacity) : m_capacity(std::max<size_t>(capacity, 8))
{
    m_points.reserve(m_capacity);
}

void CTrendBuffer::Append(double time, double value)
{
    if (m_points.size() >= m_capacity)
        CompactOlderHalf();
    m_points.push_back({time, value});
    ++m_appended;
}

void CTrendBuffer::CompactOlderHalf()
{
    const size_t half = (m_points.size() / 2) & ~size_t{1};
    size_t out = 0;
    for (size_t in = 0; in < half; in += 2, ++out)
        m_points[out] = {m_points[in].time, (m_points[in].value + m_points[in + 1].value) / 2};
    std::move(m_points.begin() + static_cast<std::ptrdiff_t>(half), m_points.end(),
              m_points.begin() + static_cast<std::ptrdiff_t>(out));
    m_points.resize(m_points.size() - (half - out));
}
