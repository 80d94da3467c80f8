#include "SimWire.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

bool CSimWire::SleepUntil(Clock::time_point deadline) const
{
    for (;;)
    {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd wake{m_wakeFd, POLLIN, 0};
        const int ready = ppoll(&wake, 1, &timeout, nullptr);
        if (ready > 0)
            return false;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

CSimWire::Clock::duration CSimWire::ByteTime() const
{
    const int baud = std::max(1, m_line.baud.load());
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(10.0 / baud));
}

bool CSimWire::Received(size_t count)
{
    if (!m_line.wireTiming)
        return true;
    m_rxFree = std::max(Clock::now(), m_rxFree) + ByteTime() * static_cast<long>(count);
    return SleepUntil(m_rxFree);
}

bool CSimWire::Send(int fd, std::string_view bytes, bool socket)
{
    if (!m_line.wireTiming)
        return WriteAll(fd, bytes, socket);
    // About one millisecond of the line per slice: fine enough for the pace, coarse enough for the
    // scheduler.
    const Clock::duration byteTime = ByteTime();
    const size_t slice = std::max<size_t>(1, std::chrono::milliseconds(1) / byteTime);
    const Clock::time_point start = std::max(Clock::now(), m_txFree);
    for (size_t sent = 0; sent < bytes.size(); sent += slice)
    {
        const std::string_view chunk = bytes.substr(sent, slice);
        if (!SleepUntil(start + byteTime * static_cast<long>(sent)) || !WriteAll(fd, chunk, socket))
            return false;
    }
    m_txFree = start + byteTime * static_cast<long>(bytes.size());
    return SleepUntil(m_txFree);
}

void CSimWire::Reset()
{
    m_rxFree = {};
    m_txFree = {};
}

bool CSimWire::WriteAll(int fd, std::string_view bytes, bool socket) const
{
    while (!bytes.empty())
    {
        const ssize_t written = socket ? ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                       : ::write(fd, bytes.data(), bytes.size());
        if (written > 0)
        {
            bytes.remove_prefix(static_cast<size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        pollfd fds[2] = {{fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
        if (poll(fds, 2, kWriteTimeoutMs) <= 0 || (fds[1].revents & POLLIN) ||
            (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
    }
    return true;
}
