#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>
#include <unordered_map>

// How long a reader may sleep, instead of waking for every few bytes, while a reply line is still on
// its way. The reply to the same command last time says how many bytes to expect, how long after the
// command it ended, and the line's pace how long its bytes take. The reader sleeps until the reply is
// due, or wakes half a byte time after the expected end of a line that has begun, and takes the whole
// rest in one read; a line that ends early is late by no more than its shortfall, one that runs longer
// is read byte by byte past the expected end, and a line of unknown length is read exactly as it
// arrives.
class CReplyPacing
{
public:
    using Clock = std::chrono::steady_clock;
    // Commands whose replies are kept; more are forgotten all at once (polling repeats a few).
    static constexpr size_t RememberedCommands = 64;

    // A command went out: the next line that ends is its reply.
    void Sent(std::string_view command, Clock::time_point at = Clock::now());
    // Something went out that predicts no reply (a lone byte).
    void SentUnknown();
    // A line ended after this many bytes (its end included), taken at `at`; remembered for the command
    // that asked. endSeen: the reader was waiting when the end came; otherwise it lay there already when
    // the reader woke at the due time, and came some time sooner.
    void LineEnded(int bytes, Clock::time_point at = Clock::now(), bool endSeen = true,
                   std::chrono::nanoseconds perByte = {});
    // The line that ended last had a line feed behind its end that came too late to be counted.
    void LineFeedFollowed();
    // With received bytes of the line read so far and the pace of the line, how long the rest takes
    // and half a byte more; zero when no more is expected or the length is unknown.
    std::chrono::nanoseconds GatherTime(int received, std::chrono::nanoseconds perByte) const;
    // When the whole reply to the command just sent is due, from when it ended last time; none when
    // that is unknown or took longer than the bytes' time on the wire and a short turnaround explain
    // (a unit that answered slowly once is not waited for blindly again).
    std::optional<Clock::time_point> ReplyDue(std::chrono::nanoseconds perByte) const;

private:
    struct SReply
    {
        int bytes = 0;          // of its last line, the end included
        Clock::duration took{}; // from the command's sending to the line's end; zero when unknown
    };
    const SReply* Expected() const;

    std::unordered_map<size_t, SReply> m_replies; // command hash -> its last reply
    size_t m_asked = 0;
    int m_askedBytes = 0;
    Clock::time_point m_sentAt;
    bool m_hasAsked = false;
    size_t m_lastAnswered = 0; // the command whose reply ended last
    int m_lastBytes = 0;       // and that reply's length as counted then
};
