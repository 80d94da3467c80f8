#include "support/LoopbackServer.h"

#include "support/FdWait.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

LoopbackServer::LoopbackServer(Mode mode)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("cannot bind a loopback socket");
    m_port = ntohs(address.sin_port);
    if (mode == Mode::Listening && ::listen(m_listener, 4) != 0)
        throw std::runtime_error("cannot listen on a loopback socket");
}

LoopbackServer::~LoopbackServer()
{
    CloseClient();
    ::close(m_listener);
}

std::string LoopbackServer::Descriptor() const
{
    return "TCP:127.0.0.1:" + std::to_string(m_port);
}

bool LoopbackServer::Accept(int timeoutMs)
{
    if (!FdWait::WaitReadable(m_listener, timeoutMs))
        return false;
    const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0)
        return false;
    CloseClient();
    m_client = client;
    return true;
}

bool LoopbackServer::Send(std::string_view bytes, int timeoutMs)
{
    return m_client >= 0 && FdWait::WriteAll(m_client, bytes, timeoutMs);
}

std::string LoopbackServer::ReceiveUntil(char terminator, int timeoutMs)
{
    return m_client >= 0 ? FdWait::ReadUntil(m_client, terminator, timeoutMs) : std::string();
}

std::string LoopbackServer::ReceiveCount(size_t count, int timeoutMs)
{
    return m_client >= 0 ? FdWait::ReadCount(m_client, count, timeoutMs) : std::string();
}

void LoopbackServer::CloseClient()
{
    if (m_client >= 0)
        ::close(m_client);
    m_client = -1;
}
