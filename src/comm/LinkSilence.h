#pragma once

#include <atomic>
#include <cstdint>

// Whether the unit behind a link answers: the time the first of a run of unanswered queries went out,
// cleared by the next reply. Written by whichever thread talks to the port, read by the user interface.
class CLinkSilence
{
public:
    // Milliseconds on a monotonic clock; callers stamp with it so that tests can pass their own times.
    static int64_t NowMs();

    // A query sent at sentAtMs got no reply at all within its time-out.
    void Unanswered(int64_t sentAtMs);
    // Something came back: the unit is talking again.
    void Answered();
    // How long the unit has been silent, counted from the first unanswered query; 0 while it answers.
    int64_t SilentForMs(int64_t nowMs = NowMs()) const;

private:
    std::atomic<int64_t> m_silentSince{0}; // 0: answering
};
