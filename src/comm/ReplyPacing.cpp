#include "comm/ReplyPacing.h"

#include <functional>

void CReplyPacing::Sent(std::string_view command)
{
    m_asked = std::hash<std::string_view>{}(command);
    m_hasAsked = true;
}

void CReplyPacing::SentUnknown()
{
    m_hasAsked = false;
}

void CReplyPacing::LineEnded(int bytes)
{
    if (!m_hasAsked)
        return;
    // Lines read after the reply (the rest of a multi-line answer, a late one) belong to no command.
    m_hasAsked = false;
    if (m_lengths.size() >= RememberedCommands && m_lengths.find(m_asked) == m_lengths.end())
        m_lengths.clear();
    m_lengths[m_asked] = bytes;
}

std::chrono::nanoseconds CReplyPacing::GatherTime(int received, std::chrono::nanoseconds perByte) const
{
    if (!m_hasAsked || perByte <= std::chrono::nanoseconds::zero())
        return std::chrono::nanoseconds::zero();
    const auto known = m_lengths.find(m_asked);
    if (known == m_lengths.end())
        return std::chrono::nanoseconds::zero();
    const int rest = known->second - received - WakeAheadBytes;
    return rest > 0 ? perByte * rest : std::chrono::nanoseconds::zero();
}
