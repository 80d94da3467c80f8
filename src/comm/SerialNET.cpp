#include "comm/SerialNET.h"

#include "diag/EventLog.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <thread>

namespace
{
// A start that failed before any connection: a bad TCP port is the descriptor's fault, anything
// else the host's.
EOpenFailure OpenFailureOfStart(int startError, int tcpPort)
{
    if (tcpPort < 1 || tcpPort > 65535)
        return EOpenFailure::BadDescriptor;
    return startError == EINVAL ? EOpenFailure::HostNotFound : OpenFailureOfErrno(startError);
}
} // namespace

CSerialNET::CSerialNET() : CSerialBase(NetworkChannel) {}

CSerialNET::~CSerialNET()
{
    CSerialNET::Close();
}

bool CSerialNET::OpenPort(int, int)
{
    return false;
}

bool CSerialNET::OpenPortByName(const std::string&, int)
{
    return SetOpenFailure(EOpenFailure::BadDescriptor);
}

bool CSerialNET::OpenNetwork(const std::string& host, int tcpPort)
{
    Close();
    m_host = host;
    m_tcpPort = tcpPort;

    int startError = 0;
    SetOpenFailure(EOpenFailure::None);
    switch (m_socket.Connect(host, tcpPort, startError))
    {
    case CSerialSocket::StartResult::NoSocket:
        TAMRIX_LOG(ccComm, 1, "Unable to create TCP/IP socket\n");
        return SetOpenFailure(EOpenFailure::SocketUnavailable);
    case CSerialSocket::StartResult::NoHost:
        TAMRIX_LOG(ccComm, 1, "Unable to connect to TCP/IP port\n");
        return SetOpenFailure(EOpenFailure::HostNotFound);
    case CSerialSocket::StartResult::NoConnection:
        m_socket.Close();
        TAMRIX_LOG(ccComm, 1, "Unable to connect to TCP/IP port\n");
        return SetOpenFailure(OpenFailureOfStart(startError, tcpPort));
    case CSerialSocket::StartResult::Started:
        break;
    }
    TAMRIX_LOG(ccComm, 1, "NET port %s:%d opened (err=%d)\n", host.c_str(), tcpPort, startError);
    // Give the connection its chance to come up; whether it did shows at the first send. A refusal
    // seen meanwhile is kept for the caller, who may say so at once instead of after the sends fail.
    int connectError = 0;
    const auto connectStart = Clock::now();
    m_connected = m_socket.WaitConnected(ConnectWaitMs, connectError);
    // The handshake's time is the link's round trip; one still under way has taken at least the wait.
    m_connectRoundTripMs =
        m_connected
            ? static_cast<int>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - connectStart).count())
            : ConnectWaitMs;
    if (!m_connected)
        m_connectError = connectError != 0 ? connectError : startError == EINPROGRESS ? 0 : startError;
    if (m_connectError != 0)
        SetOpenFailure(OpenFailureOfErrno(m_connectError));
    m_isOpen = true;
    m_connectionFailed = false;
    return true;
}

bool CSerialNET::Close()
{
    if (m_isOpen)
        TAMRIX_LOG(ccComm, 1, "NET port closed.\r\n");
    m_host.clear();
    m_tcpPort = 0;
    m_socket.Close();
    m_isOpen = false;
    m_connectionFailed = false;
    m_connected = false;
    m_connectError = 0;
    m_connectRoundTripMs = 0;
    m_pending.Clear();
    return true;
}

bool CSerialNET::IsNotConnected(int error) const
{
    if (error == ENOTCONN)
        return true;
    if (m_connected)
        return false;
    return error == EAGAIN || error == EWOULDBLOCK || error == ECONNREFUSED || error == EPIPE ||
           error == ECONNRESET || error == ECONNABORTED || error == ETIMEDOUT || error == EHOSTUNREACH ||
           error == ENETUNREACH;
}

bool CSerialNET::IsConnectionLost(int error) const
{
    return m_connected &&
           (error == EPIPE || error == ECONNRESET || error == ECONNABORTED || error == ETIMEDOUT);
}

int CSerialNET::SendAll(const char* buffer, int length, Clock::time_point deadline)
{
    int sent = 0;
    while (sent < length)
    {
        const ssize_t count = m_socket.Send(buffer + sent, static_cast<size_t>(length - sent));
        if (count > 0)
        {
            sent += static_cast<int>(count);
            m_connected = true;
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        const bool bufferFull = count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && m_connected;
        if (!bufferFull)
            return sent > 0 ? sent : -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !(m_socket.Wait(POLLOUT, static_cast<int>(left.count())) & POLLOUT))
            return sent > 0 ? sent : -1;
    }
    return sent;
}

void CSerialNET::WaitRetryStep()
{
    const auto stepEnd = Clock::now() + std::chrono::milliseconds(SendRetryMs);
    const short events = m_socket.Wait(POLLOUT, SendRetryMs);
    if ((events & POLLOUT) && !(events & (POLLERR | POLLHUP)))
        return;
    // A refused socket reports at once; keep the retry pace all the same.
    std::this_thread::sleep_until(stepEnd);
}

int CSerialNET::Write(const char* buffer, int length)
{
    if (!m_isOpen || length <= 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(SendDeadlineMs);
    const bool failedBefore = m_connectionFailed;
    for (;;)
    {
        const int sent = SendAll(buffer, length, deadline);
        if (sent >= 0)
        {
            m_pacing.Sent(std::string_view(buffer, static_cast<size_t>(length)));
            TraceCommand(buffer, sent);
            m_connectionFailed = false;
            return sent;
        }
        const int error = errno;
        TAMRIX_LOG(ccComm, 1, "****************************** Command FAIL: %.*s, err=%d\n", length, buffer,
                   error);
        if (!IsNotConnected(error) || failedBefore)
        {
            if (IsConnectionLost(error))
                Close();
            return -1;
        }
        m_connectionFailed = true;
        if (Clock::now() >= deadline)
        {
            // The connection never came up: the caller learns why (a refusal, or no answer at all).
            if (!m_connected)
                SetOpenFailure(m_connectError != 0 ? OpenFailureOfErrno(m_connectError)
                                                   : EOpenFailure::TimedOut);
            Close();
            return 0;
        }
        WaitRetryStep();
    }
}

bool CSerialNET::WriteByte(char byte)
{
    if (!m_isOpen)
        return false;
    m_pacing.SentUnknown();
    const bool sent = m_socket.Send(&byte, 1) == 1;
    m_connectionFailed = !sent;
    m_connected = m_connected || sent;
    return sent;
}

int CSerialNET::Read(char* buffer, int capacity, int)
{
    if (!m_isOpen || capacity <= 0)
        return 0;
    if (!m_pending.IsEmpty())
        return m_pending.Take(buffer, capacity);
    const ssize_t count = m_socket.Receive(buffer, static_cast<size_t>(capacity));
    if (count > 0)
    {
        m_connected = true;
        return static_cast<int>(count);
    }
    // The peer ended the connection (or it broke): nothing more will arrive on it.
    if (count == 0 || IsConnectionLost(errno))
        Close();
    return 0;
}

std::string CSerialNET::ReadLine(int timeoutMs)
{
    if (!m_isOpen)
        return {};
    const auto start = Clock::now();
    const auto leftMs = [start, timeoutMs] {
        return timeoutMs -
               std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    };
    std::string line;
    SArrival arrival;
    for (;;)
    {
        short events = 0;
        if (m_pending.IsEmpty() && timeoutMs > 0 && !m_connectionFailed)
            events = m_socket.Wait(POLLIN, static_cast<int>(std::max<long long>(0, leftMs())));
        char chunk[LineChunk];
        const int count = Read(chunk, LineChunk, 0);
        const auto appended = m_pending.AppendLine(line, chunk, count, m_lineFeedEndsLine);
        if (appended.strayLineFeeds > 0 && arrival.received == 0)
            m_pacing.LineFeedFollowed();
        arrival.received += appended.taken;
        const bool ended = appended.ended;
        if (ended)
            m_pacing.LineEnded(arrival.received);
        if (ended || !m_isOpen)
            break;
        if (count == 0 && (timeoutMs <= 0 || m_connectionFailed))
            break;
        if (count == 0 && (events & (POLLERR | POLLHUP)))
        {
            // A connection that never came up: nothing can arrive, so only the time-out is left.
            std::this_thread::sleep_for(std::chrono::milliseconds(std::max<long long>(0, leftMs())));
            break;
        }
        if (timeoutMs > 0 && leftMs() <= 0)
            break;
        if (appended.taken > 0 && timeoutMs > 0)
            GatherRest(arrival, start + std::chrono::milliseconds(timeoutMs));
    }
    TraceResponse(line);
    return line;
}

void CSerialNET::GatherRest(SArrival& arrival, Clock::time_point deadline)
{
    // A network link has no baud rate; a line that trickles in (a serial gateway forwarding bytes as
    // they come) shows its pace between the first part and the next.
    const auto now = Clock::now();
    if (arrival.firstBytes == 0)
    {
        arrival.firstAt = now;
        arrival.firstBytes = arrival.received;
        return;
    }
    const int since = arrival.received - arrival.firstBytes;
    if (since <= 0)
        return;
    const auto rest = m_pacing.GatherTime(arrival.received, (now - arrival.firstAt) / since);
    if (rest > std::chrono::nanoseconds::zero())
        std::this_thread::sleep_until(std::min(deadline, now + rest));
}

int CSerialNET::BytesAvailable()
{
    if (!m_isOpen)
        return 0;
    return m_pending.GetSize() + std::max(0, m_socket.BytesWaiting());
}

void CSerialNET::Purge()
{
    if (!m_isOpen || m_connectionFailed)
        return;
    m_pending.Clear();
    char discard[PurgeChunk];
    while (BytesAvailable() > 0)
    {
        if (Read(discard, PurgeChunk, 0) == 0)
            break;
    }
}

int CSerialNET::GetConnectRoundTripMs() const
{
    return m_connectRoundTripMs;
}
