#pragma once

#include <chrono>
#include <csignal>

// SIGINT and SIGTERM end the monitor between refreshes. They are blocked from construction on, before
// the instrument's thread starts (threads inherit the mask), so only WaitUntil receives them and the
// instrument is disconnected properly. Destruction restores the previous mask.
class CCliStopSignals
{
public:
    CCliStopSignals();
    ~CCliStopSignals();
    CCliStopSignals(const CCliStopSignals&) = delete;
    CCliStopSignals& operator=(const CCliStopSignals&) = delete;

    // Waits until the deadline; true when a stop signal came first.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);

private:
    sigset_t m_set;
    sigset_t m_previous;
};
