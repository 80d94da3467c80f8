#include "instrument/session/WaitWatch.h"

#include "diag/EventLog.h"

#include <atomic>

namespace
{
thread_local bool t_waitsForbidden = false;
std::atomic<int> g_count{0};
// The first few are enough to find the caller; a loop of them must not flood the log.
constexpr int LoggedAtMost = 20;
} // namespace

void CWaitWatch::ForbidWaitsOnThisThread()
{
    t_waitsForbidden = true;
}

void CWaitWatch::Note(std::string_view command)
{
    if (!t_waitsForbidden)
        return;
    if (g_count.fetch_add(1) < LoggedAtMost)
        TAMRIX_LOG(ccComm, 1, "The window's thread waited on the instrument for: %.*s\n",
                   static_cast<int>(command.size()), command.data());
}

int CWaitWatch::Count()
{
    return g_count.load();
}
