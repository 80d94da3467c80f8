#include "TcpDropper.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CTcpDropper::CTcpDropper()
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(m_listener, 64) == 0 &&
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

CTcpDropper::~CTcpDropper()
{
    m_stop = true;
    m_thread.join();
    close(m_listener);
}

void CTcpDropper::Run()
{
    while (!m_stop)
    {
        pollfd fd{m_listener, POLLIN, 0};
        if (poll(&fd, 1, 50) <= 0)
            continue;
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        ++m_accepted;
        close(client);
    }
}
