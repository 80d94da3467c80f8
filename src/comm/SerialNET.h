#pragma once

#include "comm/LineRemainder.h"
#include "comm/ReplyPacing.h"
#include "comm/SerialBase.h"
#include "comm/SerialSocket.h"

#include <atomic>
#include <chrono>
#include <string>

// The byte channel for an instrument on TCP/IP. Opening only starts the connection; the first send
// shows whether it came up, retrying for a second while it is still being made. Reply bytes that
// follow a line end in the same segment are kept for the next read.
class CSerialNET : public CSerialBase
{
public:
    static constexpr int ConnectWaitMs = 500;
    static constexpr int SendDeadlineMs = 1000;
    static constexpr int SendRetryMs = 100;
    static constexpr int LineChunk = 256;
    static constexpr int PurgeChunk = 512;

    CSerialNET();
    ~CSerialNET() override;

    bool OpenPort(int portNumber, int baud) override;
    bool OpenPortByName(const std::string& deviceName, int baud) override;
    bool OpenNetwork(const std::string& host, int tcpPort) override;
    bool Close() override;
    int Read(char* buffer, int capacity, int timeoutMs) override;
    std::string ReadLine(int timeoutMs) override;
    int Write(const char* buffer, int length) override;
    bool WriteByte(char byte) override;
    int BytesAvailable() override;
    void Purge() override;
    int GetConnectRoundTripMs() const override;

private:
    using Clock = std::chrono::steady_clock;

    // How a line has arrived so far: its bytes, and when and how many came with the first part.
    struct SArrival
    {
        int received = 0;
        int firstBytes = 0;
        Clock::time_point firstAt;
    };

    // After part of a line: once its pace shows, sleeps (never past the deadline) while the rest of a
    // reply of known length is still coming, so that it is taken in one read.
    void GatherRest(SArrival& arrival, Clock::time_point deadline);

    // Sends as much as the socket takes before the deadline; -1 with errno when nothing went out.
    int SendAll(const char* buffer, int length, Clock::time_point deadline);
    // A send error of a connection that has not come up (yet); the retry loop waits for it.
    bool IsNotConnected(int error) const;
    // An error that ends an established connection; the channel closes itself.
    bool IsConnectionLost(int error) const;
    // Waits one retry step, returning early when the socket becomes writable.
    void WaitRetryStep();

    bool m_connectionFailed = false;
    bool m_connected = false;                 // the connection came up at least once
    int m_connectError = 0;                   // why it did not come up (errno), 0 while unknown
    std::atomic<int> m_connectRoundTripMs{0}; // read by other threads through the command port
    std::string m_host;
    int m_tcpPort = 0;
    CSerialSocket m_socket;
    CLineRemainder m_pending;
    CReplyPacing m_pacing;
};
