#include "support/FdWait.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

int LeftMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;)
    {
        pollfd entry{fd, events, 0};
        const int result = ::poll(&entry, 1, LeftMs(deadline));
        if (result > 0)
            return true;
        if (result == 0 || errno != EINTR)
            return false;
    }
}

bool IsSocket(int fd)
{
    struct stat info
    {
    };
    return ::fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
}

ssize_t WriteSome(int fd, const char* data, size_t size)
{
    // A socket whose peer left must not raise SIGPIPE in the test process.
    return IsSocket(fd) ? ::send(fd, data, size, MSG_NOSIGNAL) : ::write(fd, data, size);
}

// Reads into text until done(text), end of stream, an error or the deadline. One byte at a time, so
// nothing beyond what the caller asked for is taken from the descriptor.
template <typename Done>
std::string ReadWhile(int fd, Done done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string text;
    while (!done(text))
    {
        if (!WaitFor(fd, POLLIN, deadline))
            break;
        char byte = 0;
        const ssize_t count = ::read(fd, &byte, 1);
        if (count > 0)
            text.push_back(byte);
        else if (count == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return text;
}
} // namespace

bool FdWait::WriteAll(int fd, std::string_view bytes, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty())
    {
        const ssize_t count = WriteSome(fd, bytes.data(), bytes.size());
        if (count > 0)
        {
            bytes.remove_prefix(static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (!WaitFor(fd, POLLOUT, deadline))
            return false;
    }
    return true;
}

std::string FdWait::ReadUntil(int fd, char terminator, int timeoutMs)
{
    return ReadWhile(
        fd, [terminator](const std::string& text) { return !text.empty() && text.back() == terminator; },
        timeoutMs);
}

std::string FdWait::ReadCount(int fd, size_t count, int timeoutMs)
{
    return ReadWhile(
        fd, [count](const std::string& text) { return text.size() >= count; }, timeoutMs);
}

bool FdWait::WaitReadable(int fd, int timeoutMs)
{
    return WaitFor(fd, POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs));
}
