#include "comm/SerialSocket.h"

#include "comm/PollFor.h"

#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// Failures of a connection that did get under way: the sends report them, the open does not.
bool StartedButFailed(int error)
{
    return error == ECONNREFUSED || error == ECONNRESET || error == ETIMEDOUT || error == ENETUNREACH ||
           error == EHOSTUNREACH || error == EAGAIN;
}

struct AddressList
{
    addrinfo* head = nullptr;
    ~AddressList()
    {
        if (head)
            ::freeaddrinfo(head);
    }
};
} // namespace

CSerialSocket::~CSerialSocket()
{
    Close();
}

CSerialSocket::StartResult CSerialSocket::Connect(const std::string& host, int tcpPort, int& error)
{
    Close();
    error = EINVAL;
    if (host.empty() || tcpPort < 1 || tcpPort > 65535)
        return StartResult::NoConnection;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    AddressList addresses;
    if (::getaddrinfo(host.c_str(), std::to_string(tcpPort).c_str(), &hints, &addresses.head) != 0)
        return StartResult::NoHost;

    bool anySocket = false;
    int fallbackError = 0;
    for (const addrinfo* address = addresses.head; address; address = address->ai_next)
    {
        const int fd = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                address->ai_protocol);
        if (fd < 0)
            continue;
        anySocket = true;
        const int result = ::connect(fd, address->ai_addr, address->ai_addrlen);
        const int startError = result == 0 ? 0 : errno;
        if (startError == 0 || startError == EINPROGRESS)
        {
            Close();
            m_fd = fd;
            error = startError;
            return StartResult::Started;
        }
        // Keep the first refused address in case no other one gets under way.
        if (StartedButFailed(startError) && m_fd < 0)
        {
            m_fd = fd;
            fallbackError = startError;
            continue;
        }
        ::close(fd);
        error = startError;
    }
    if (m_fd >= 0)
    {
        error = fallbackError;
        return StartResult::Started;
    }
    return anySocket ? StartResult::NoConnection : StartResult::NoSocket;
}

short CSerialSocket::Wait(short events, int timeoutMs) const
{
    return PollFor(m_fd, events, timeoutMs);
}

bool CSerialSocket::WaitConnected(int timeoutMs, int& error)
{
    error = 0;
    if (m_fd < 0)
        return false;
    const short events = Wait(POLLOUT, timeoutMs);
    if (!(events & (POLLOUT | POLLERR | POLLHUP)))
        return false;
    int socketError = 0;
    socklen_t size = sizeof socketError;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &socketError, &size) != 0)
        socketError = errno;
    error = socketError;
    return socketError == 0 && !(events & (POLLERR | POLLHUP));
}

ssize_t CSerialSocket::Send(const char* buffer, size_t length)
{
    if (m_fd < 0)
    {
        errno = ENOTCONN;
        return -1;
    }
    return ::send(m_fd, buffer, length, MSG_NOSIGNAL | MSG_DONTWAIT);
}

ssize_t CSerialSocket::Receive(char* buffer, size_t capacity)
{
    if (m_fd < 0)
    {
        errno = ENOTCONN;
        return -1;
    }
    return ::recv(m_fd, buffer, capacity, MSG_DONTWAIT);
}

int CSerialSocket::BytesWaiting() const
{
    int waiting = 0;
    if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &waiting) != 0)
        return -1;
    return waiting;
}

void CSerialSocket::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
