#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>
#include <unordered_map>

// How long a reader may sleep, instead of waking for every few bytes, while the rest of a reply line
// is still on its way. The reply to the same command last time says how many bytes to expect and the
// line's pace how long they take. The reader wakes a few bytes ahead of the expected end and takes
// the last ones as they come, so a line that ends early is late by no more than its shortfall, and
// a line of unknown length is read exactly as it arrives.
class CReplyPacing
{
public:
    // Bytes before the expected end at which the reader is awake again.
    static constexpr int WakeAheadBytes = 2;
    // Commands whose reply lengths are kept; more are forgotten all at once (polling repeats a few).
    static constexpr size_t RememberedCommands = 64;

    // A command went out: the next line that ends is its reply.
    void Sent(std::string_view command);
    // Something went out that predicts no reply length (a lone byte).
    void SentUnknown();
    // A line ended after this many bytes (its end included); remembered for the command that asked.
    void LineEnded(int bytes);
    // With received bytes of the line read so far and the pace of the line, how long the rest takes
    // up to the wake-ahead margin; zero when no more is expected or the length is unknown.
    std::chrono::nanoseconds GatherTime(int received, std::chrono::nanoseconds perByte) const;

private:
    std::unordered_map<size_t, int> m_lengths; // command hash -> bytes of its last reply line
    size_t m_asked = 0;
    bool m_hasAsked = false;
};
