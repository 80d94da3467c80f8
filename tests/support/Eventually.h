#pragma once

#include <chrono>
#include <thread>

// Waits until the condition holds or the deadline passes, checking every millisecond; for states that
// offer nothing to block on (a queue count, a flag of the code under test). True when it held.
template <typename Condition>
bool Eventually(Condition condition, int timeoutMs = 2000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
