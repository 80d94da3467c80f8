#include "comm/ReplyPacing.h"

#include <algorithm>
#include <functional>

namespace
{
// Beyond the wire time of command and reply, what a unit may take to answer and still be waited for.
constexpr auto Turnaround = std::chrono::milliseconds(5);
} // namespace

void CReplyPacing::Sent(std::string_view command, Clock::time_point at)
{
    m_asked = std::hash<std::string_view>{}(command);
    m_askedBytes = static_cast<int>(command.size());
    m_sentAt = at;
    m_hasAsked = true;
}

void CReplyPacing::SentUnknown()
{
    m_hasAsked = false;
}

void CReplyPacing::LineEnded(int bytes, Clock::time_point at, bool endSeen, std::chrono::nanoseconds perByte)
{
    if (!m_hasAsked)
        return;
    // Lines read after the reply (the rest of a multi-line answer, a late one) belong to no command.
    m_hasAsked = false;
    if (m_replies.size() >= RememberedCommands && m_replies.find(m_asked) == m_replies.end())
        m_replies.clear();
    SReply& reply = m_replies[m_asked];
    const bool sameLength = reply.bytes == bytes;
    reply.bytes = bytes;
    m_lastAnswered = m_asked;
    m_lastBytes = bytes;
    const auto took = at - m_sentAt;
    if (!sameLength || reply.took == Clock::duration::zero() || (endSeen && took < reply.took))
    {
        reply.took = took;
        return;
    }
    if (endSeen)
    {
        // Later than expected: moved towards a quarter of the way, so that one slow reply (a busy
        // unit, a loaded host) does not make every later one wait for as long.
        reply.took += (took - reply.took) / 4;
        return;
    }
    // It ended before the reader woke: try sooner next time, by a byte, or faster while the
    // wait holds more than the wire explains, until a reply is seen ending again.
    const auto wire = perByte * (m_askedBytes + bytes);
    const auto beyond = std::max<Clock::duration>(Clock::duration::zero(), reply.took - wire);
    const auto step = std::max<Clock::duration>(perByte, beyond / 8);
    reply.took = std::max<Clock::duration>(Clock::duration::zero(), reply.took - step);
}

void CReplyPacing::LineFeedFollowed()
{
    // Counted once: the next reply of that length is gathered with its line feed and ends whole.
    const auto known = m_replies.find(m_lastAnswered);
    if (known != m_replies.end() && known->second.bytes == m_lastBytes)
        known->second.bytes = m_lastBytes + 1;
    m_lastBytes = 0;
}

const CReplyPacing::SReply* CReplyPacing::Expected() const
{
    if (!m_hasAsked)
        return nullptr;
    const auto known = m_replies.find(m_asked);
    return known == m_replies.end() ? nullptr : &known->second;
}

std::chrono::nanoseconds CReplyPacing::GatherTime(int received, std::chrono::nanoseconds perByte) const
{
    const SReply* reply = Expected();
    if (reply == nullptr || perByte <= std::chrono::nanoseconds::zero())
        return std::chrono::nanoseconds::zero();
    const int rest = reply->bytes - received;
    // The half byte absorbs a line whose pace is a little slower than its baud rate says.
    return rest > 0 ? perByte * rest + perByte / 2 : std::chrono::nanoseconds::zero();
}

std::optional<CReplyPacing::Clock::time_point> CReplyPacing::ReplyDue(std::chrono::nanoseconds perByte) const
{
    const SReply* reply = Expected();
    if (reply == nullptr || reply->took <= Clock::duration::zero() ||
        perByte <= std::chrono::nanoseconds::zero())
        return std::nullopt;
    if (reply->took > 2 * perByte * (m_askedBytes + reply->bytes) + Turnaround)
        return std::nullopt;
    return m_sentAt + reply->took;
}
