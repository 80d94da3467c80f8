#pragma once

#include <string>
#include <sys/types.h>

// The network channel's non-blocking stream socket. It never blocks on its own: every wait is an
// explicit poll with a time-out. Sends never raise SIGPIPE.
class CSerialSocket
{
public:
    enum class StartResult
    {
        Started,     // connected at once, in progress, or already refused: sends will tell
        NoSocket,    // no socket could be created
        NoHost,      // the host name does not resolve
        NoConnection // the address cannot be used
    };

    CSerialSocket() = default;
    ~CSerialSocket();
    CSerialSocket(const CSerialSocket&) = delete;
    CSerialSocket& operator=(const CSerialSocket&) = delete;

    // Resolves the host (a dotted address is taken directly) and starts the connection; error receives
    // the errno of the start (EINPROGRESS normally, 0 when it connected at once).
    StartResult Connect(const std::string& host, int tcpPort, int& error);
    // Waits up to timeoutMs for the connection to come up; true when it is established. error receives
    // the socket's pending error when the connection failed (ECONNREFUSED, ...), else 0.
    bool WaitConnected(int timeoutMs, int& error);
    // Poll events (0 on time-out); restarts after signals.
    short Wait(short events, int timeoutMs) const;
    // One non-blocking send or receive; -1 with errno on failure.
    ssize_t Send(const char* buffer, size_t length);
    ssize_t Receive(char* buffer, size_t capacity);
    // Bytes that can be received without blocking; -1 when the socket cannot tell.
    int BytesWaiting() const;
    void Close();
    bool IsValid() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
