#pragma once

#include <atomic>
#include <string>

// A run of failed poll cycles, said once on the diagnostic output when it ends (the next good cycle, or
// the channel going away) with its length, instead of one bare line per cycle.
class CPollFailureRun
{
public:
    explicit CPollFailureRun(std::string message);
    ~CPollFailureRun();
    CPollFailureRun(const CPollFailureRun&) = delete;
    CPollFailureRun& operator=(const CPollFailureRun&) = delete;

    void Failed() { m_count.fetch_add(1); }
    // Ends the run, if any, and reports it.
    void Ended();

private:
    std::string m_message;
    std::atomic<int> m_count{0};
};
