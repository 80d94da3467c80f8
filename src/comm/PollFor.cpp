#include "comm/PollFor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>

short PollFor(int fd, short events, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        pollfd entry{fd, events, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int result = ::poll(&entry, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (result >= 0)
            return result == 0 ? 0 : entry.revents;
        if (errno != EINTR)
            return POLLERR;
    }
}
