#include "CliStopSignals.h"

#include <cerrno>
#include <pthread.h>

CCliStopSignals::CCliStopSignals()
{
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_set, &m_previous);
}

CCliStopSignals::~CCliStopSignals()
{
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

bool CCliStopSignals::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    for (;;)
    {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return false;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        if (sigtimedwait(&m_set, nullptr, &wait) > 0)
            return true;
        if (errno != EINTR && errno != EAGAIN)
            return false;
    }
}
