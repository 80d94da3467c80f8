#include "SimTcpTransport.h"

#include "SimWire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

CSimTcpTransport::CSimTcpTransport(CSimEngine& engine, const SSimLineSettings& line)
    : m_engine(engine), m_line(line), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

CSimTcpTransport::~CSimTcpTransport()
{
    Stop();
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

bool CSimTcpTransport::Start(const std::string& address, int port, std::string& error)
{
    if (m_thread.joinable())
    {
        error = "the TCP port is already open";
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    if (port < 0 || port > 65535 || inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
    {
        error = "not an IPv4 address and port: " + address + ":" + std::to_string(port);
        return false;
    }
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int yes = 1;
    if (m_listen < 0 || setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        bind(m_listen, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        listen(m_listen, kBacklog) != 0)
    {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        if (m_listen >= 0)
            close(m_listen);
        m_listen = -1;
        return false;
    }
    socklen_t length = sizeof local;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&local), &length);
    m_port = ntohs(local.sin_port);
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CSimTcpTransport::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(m_wakeFd, &one, sizeof one);
}

void CSimTcpTransport::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    Wake();
    m_thread.join();
    close(m_listen);
    m_listen = -1;
}

void CSimTcpTransport::DropConnection()
{
    m_drop = true;
    Wake();
}

void CSimTcpTransport::Run()
{
    while (!m_stop)
    {
        uint64_t drained = 0;
        [[maybe_unused]] const ssize_t ignored = read(m_wakeFd, &drained, sizeof drained);
        m_drop = false; // nothing to drop while nobody is connected
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_listen, POLLIN, 0}};
        if (poll(fds, 2, kPollMs) <= 0 || !(fds[1].revents & POLLIN))
            continue;
        const int client = accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0)
            continue;
        m_hasClient = true;
        Serve(client);
        close(client);
        m_hasClient = false;
    }
}

// Serves one client until it leaves, the connection is dropped or the transport stops. Its session
// starts fresh: a new connection begins a new line.
void CSimTcpTransport::Serve(int client)
{
    SSimSession session;
    CSimWire wire(m_line, m_wakeFd);
    char buffer[4096];
    while (!m_stop)
    {
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {client, POLLIN, 0}};
        if (poll(fds, 2, kPollMs) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
        {
            uint64_t drained = 0;
            [[maybe_unused]] const ssize_t ignored = read(m_wakeFd, &drained, sizeof drained);
        }
        if (m_drop.exchange(false))
        {
            shutdown(client, SHUT_RDWR);
            return;
        }
        if (!(fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t count = recv(client, buffer, sizeof buffer, 0);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR))
            return;
        if (count < 0 || !wire.Received(static_cast<size_t>(count)))
            continue;
        const std::string out =
            m_engine.Receive(session, std::string_view(buffer, static_cast<size_t>(count)));
        if (out.empty())
            continue;
        const int delayMs = m_engine.Faults().delayMs;
        if (delayMs > 0 && !wire.Sleep(std::chrono::milliseconds(delayMs)))
            continue;
        if (!wire.Send(client, out, true) && !m_stop && !m_drop)
            return;
    }
}
