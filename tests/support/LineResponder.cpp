#include "support/LineResponder.h"

#include "support/FdWait.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

LineResponder::LineResponder(int fd, Reply reply) : m_fd(fd), m_reply(std::move(reply))
{
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create the responder's stop pipe");
    m_thread = std::thread([this] { Run(); });
}

LineResponder::~LineResponder()
{
    const char stop = 0;
    [[maybe_unused]] const ssize_t written = ::write(m_stopPipe[1], &stop, 1);
    m_thread.join();
    ::close(m_stopPipe[0]);
    ::close(m_stopPipe[1]);
}

void LineResponder::Run()
{
    std::string command;
    for (;;)
    {
        pollfd entries[2] = {{m_fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0 && errno != EINTR)
            return;
        if (entries[1].revents != 0)
            return;
        if (entries[0].revents & (POLLHUP | POLLERR | POLLNVAL) && !(entries[0].revents & POLLIN))
            return;
        char buffer[256];
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR))
            return;
        for (ssize_t index = 0; index < count; ++index)
        {
            if (buffer[index] != '\r' && buffer[index] != '\n')
            {
                command.push_back(buffer[index]);
                continue;
            }
            if (command.empty())
                continue;
            const std::string reply = m_reply(command);
            command.clear();
            if (!reply.empty() && !FdWait::WriteAll(m_fd, reply, 5000))
                return;
            ++m_handled;
        }
    }
}
