#include "comm/LateReplies.h"

#include "diag/EventLog.h"

#include <algorithm>
#include <utility>

void CLateReplies::Owe(Clock::time_point until)
{
    std::lock_guard lock(m_lock);
    ++m_owed;
    m_until = std::max(m_until, until);
}

int CLateReplies::Discard(const ReadLineFn& readLine)
{
    int owed = 0;
    Clock::time_point until;
    {
        std::lock_guard lock(m_lock);
        owed = std::exchange(m_owed, 0);
        until = std::exchange(m_until, Clock::time_point{});
    }
    int arrived = 0;
    while (arrived < owed)
    {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            break;
        const std::string line = readLine(static_cast<int>(left));
        // Empty: the time ran out (or the port closed); whatever is still owed is lost.
        if (line.empty())
            break;
        ++arrived;
        TAMRIX_LOG(ccComm, 1, "Late reply discarded: %s\n", line.c_str());
    }
    return arrived;
}

bool CLateReplies::IsOwed() const
{
    std::lock_guard lock(m_lock);
    return m_owed > 0;
}

void CLateReplies::Forget()
{
    std::lock_guard lock(m_lock);
    m_owed = 0;
    m_until = Clock::time_point{};
    m_waitMs = LeastWaitMs;
}

int CLateReplies::GetWaitMs() const
{
    std::lock_guard lock(m_lock);
    return m_waitMs;
}

void CLateReplies::Widen(int maxMs)
{
    std::lock_guard lock(m_lock);
    m_waitMs = std::max(m_waitMs, std::min(2 * m_waitMs, maxMs));
}

void CLateReplies::Narrow()
{
    std::lock_guard lock(m_lock);
    m_waitMs = std::max(LeastWaitMs, m_waitMs / 2);
}
