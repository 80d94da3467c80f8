#include "SimLineLog.h"

#include <algorithm>

void CSimLineLog::Add(const std::string& line)
{
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
    }
    m_changed.notify_all();
}

std::vector<std::string> CSimLineLog::Lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

size_t CSimLineLog::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_cleared + m_lines.size();
}

void CSimLineLog::Clear()
{
    std::lock_guard lock(m_mutex);
    m_cleared += m_lines.size();
    m_lines.clear();
}

long CSimLineLog::WaitFor(const std::function<bool(const std::string&)>& test,
                          std::chrono::milliseconds timeout, size_t from) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(m_mutex);
    size_t next = std::max(from, m_cleared);
    const auto scan = [&]() -> long
    {
        next = std::max(next, m_cleared); // Clear() may have dropped lines meanwhile
        for (; next < m_cleared + m_lines.size(); ++next)
        {
            if (test(m_lines[next - m_cleared]))
                return static_cast<long>(next);
        }
        return -1;
    };
    for (;;)
    {
        const long hit = scan();
        if (hit >= 0)
            return hit;
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout)
            return scan();
    }
}

long CSimLineLog::WaitForText(const std::string& text, std::chrono::milliseconds timeout, size_t from) const
{
    return WaitFor([&text](const std::string& line) { return line.find(text) != std::string::npos; }, timeout,
                   from);
}
