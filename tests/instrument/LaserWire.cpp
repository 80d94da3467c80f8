#include "LaserWire.h"

#include "support/FdWait.h"

#include <cerrno>
#include <chrono>
#include <unistd.h>

LaserWire::LaserWire(Reply reply) : m_reply(std::move(reply))
{
    m_thread = std::thread([this] { Run(); });
}

LaserWire::~LaserWire()
{
    m_stop = true;
    m_thread.join();
}

std::string LaserWire::Received() const
{
    std::lock_guard lock(m_lock);
    return m_received;
}

void LaserWire::ClearReceived()
{
    std::lock_guard lock(m_lock);
    m_received.clear();
}

bool LaserWire::WaitFor(const std::string& text, int timeoutMs) const
{
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_received.find(text) != std::string::npos; });
}

void LaserWire::Run()
{
    std::string line;
    while (!m_stop)
    {
        // Short waits so the destructor's stop is seen promptly; the data itself wakes the poll.
        if (!FdWait::WaitReadable(m_pty.MasterFd(), 20))
            continue;
        char buffer[512];
        const ssize_t count = ::read(m_pty.MasterFd(), buffer, sizeof buffer);
        if (count <= 0)
            continue;
        {
            std::lock_guard lock(m_lock);
            m_received.append(buffer, static_cast<size_t>(count));
        }
        m_changed.notify_all();
        for (ssize_t i = 0; i < count; ++i)
        {
            if (buffer[i] != '\n' && buffer[i] != '\r')
            {
                line.push_back(buffer[i]);
                continue;
            }
            if (!line.empty())
            {
                const std::string reply = m_reply(line);
                if (!reply.empty())
                    FdWait::WriteAll(m_pty.MasterFd(), reply, 2000);
            }
            line.clear();
        }
    }
}
