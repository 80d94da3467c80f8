#include "SlowLink.h"

#include <deque>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

bool SendAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t sent = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}
} // namespace

CSlowLink::CSlowLink(int brokerPort, std::chrono::milliseconds delay)
    : m_brokerPort(brokerPort), m_delay(delay)
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(m_listener, 8) == 0 &&
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

CSlowLink::~CSlowLink()
{
    m_stop = true;
    m_thread.join();
    for (std::thread& relay : m_relays)
        relay.join();
    close(m_listener);
}

void CSlowLink::Run()
{
    while (!m_stop)
    {
        pollfd fd{m_listener, POLLIN, 0};
        if (poll(&fd, 1, 50) <= 0)
            continue;
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        std::lock_guard guard(m_lock);
        m_relays.emplace_back([this, client] { Connect(client); });
    }
}

void CSlowLink::Connect(int client)
{
    const int broker = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(m_brokerPort);
    if (connect(broker, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
    {
        ++m_connections;
        Relay(client, broker);
    }
    close(broker);
    close(client);
}

void CSlowLink::Relay(int client, int broker)
{
    struct SChunk
    {
        Clock::time_point due;
        std::string bytes;
    };
    std::deque<SChunk> owed; // the broker's bytes on their way to the client
    bool brokerClosed = false;
    while (!m_stop && !(brokerClosed && owed.empty()))
    {
        while (!owed.empty() && owed.front().due <= Clock::now())
        {
            if (!SendAll(client, owed.front().bytes))
            {
                ++m_closedWithRepliesOwed;
                return;
            }
            owed.pop_front();
        }
        pollfd fds[2] = {{client, POLLIN, 0}, {broker, static_cast<short>(brokerClosed ? 0 : POLLIN), 0}};
        if (poll(fds, 2, 10) <= 0)
            continue;
        char buffer[4096];
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
        {
            const ssize_t got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
            {
                if (!owed.empty())
                    ++m_closedWithRepliesOwed;
                return;
            }
            if (!SendAll(broker, std::string(buffer, static_cast<size_t>(got))))
                return;
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR))
        {
            const ssize_t got = recv(broker, buffer, sizeof buffer, 0);
            if (got <= 0)
                brokerClosed = true;
            else
                owed.push_back({Clock::now() + m_delay, std::string(buffer, static_cast<size_t>(got))});
        }
    }
}
