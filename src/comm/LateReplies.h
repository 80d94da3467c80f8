#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

// Reply lines still on their way after their reader gave up on them. The instruments answer in order,
// so a line that arrives while one is owed belongs to an earlier question: it is read and discarded
// before the next question goes out, never taken as that question's answer.
class CLateReplies
{
public:
    using Clock = std::chrono::steady_clock;
    using ReadLineFn = std::function<std::string(int timeoutMs)>;

    // One more reply line is owed; it is awaited until the given time and counted lost after it.
    void Owe(Clock::time_point until);
    // Reads owed lines with readLine and discards them until none is owed or the time for them has
    // passed; returns how many arrived. Nothing is owed afterwards.
    int Discard(const ReadLineFn& readLine);
    bool IsOwed() const;
    void Forget();

    // How long after its time-out a reply is still awaited. A reply of the wrong form is taken as one
    // later than that (the unit has become slow): the wait doubles, up to maxMs; a reply of the right
    // form halves it again, down to the least.
    int GetWaitMs() const;
    void Widen(int maxMs);
    void Narrow();
    static constexpr int LeastWaitMs = 500;

private:
    mutable std::mutex m_lock;
    int m_owed = 0;
    int m_waitMs = LeastWaitMs;
    Clock::time_point m_until{};
};
