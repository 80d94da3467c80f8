#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Every line the unit received, in order, for tests to assert on what a program sent. Written by the
// transport threads, read and awaited by test threads.
class CSimLineLog
{
public:
    void Add(const std::string& line);
    std::vector<std::string> Lines() const;
    size_t Count() const;
    void Clear();

    // Waits until a line (received at or after index `from`) satisfies the test, or the time-out
    // passes. Returns the index of the first such line, or -1.
    long WaitFor(const std::function<bool(const std::string&)>& test, std::chrono::milliseconds timeout,
                 size_t from = 0) const;
    // The same for a line that contains the text (case-sensitive).
    long WaitForText(const std::string& text, std::chrono::milliseconds timeout, size_t from = 0) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    size_t m_cleared = 0; // lines dropped by Clear, so that indexes stay meaningful
};
