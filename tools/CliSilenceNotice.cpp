#include "CliSilenceNotice.h"

#include "instrument/report/ConnectMessages.h"

#include <cstdio>

bool CCliSilenceNotice::Report(int64_t silentMs)
{
    if (silentMs <= 0)
    {
        if (m_shownSeconds >= 0)
            std::fputs("tamrix-cli: the instrument answers again\n", stderr);
        m_shownSeconds = -1;
        return false;
    }
    const int64_t seconds = silentMs / 1000;
    if (seconds != m_shownSeconds)
        std::fprintf(stderr, "tamrix-cli: %s\n", ConnectMessages::NoAnswerFor(silentMs).c_str());
    m_shownSeconds = seconds;
    return true;
}
