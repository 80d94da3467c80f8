#pragma once

#include "comm/OpenFailure.h"

#include <atomic>
#include <string>
#include <string_view>

// A byte channel: opens one connection, moves raw bytes both ways and cuts the input into reply lines
// (CR ends a line; LF ends it too or is dropped, by the line-feed flag).
class CSerialBase
{
public:
    enum ChannelType
    {
        NoChannel = 0,
        SerialChannel = 1,
        NetworkChannel = 2
    };

    virtual ~CSerialBase() = default;
    CSerialBase(const CSerialBase&) = delete;
    CSerialBase& operator=(const CSerialBase&) = delete;

    virtual bool OpenPort(int portNumber, int baud) = 0;
    virtual bool OpenPortByName(const std::string& deviceName, int baud) = 0;
    // "COM:%d:%d" (port number, baud) or "TCP:%s:%d" (host, TCP port); the last field ends at a blank.
    virtual bool OpenDescriptor(const std::string& descriptor);
    virtual bool OpenNetwork(const std::string& host, int tcpPort);
    virtual bool Close() = 0;
    virtual int GetPortNumber() const;
    virtual int GetType() const;
    // The line's baud rate; 0 for a network connection or a closed channel.
    virtual int GetBaud() const;
    virtual int Read(char* buffer, int capacity, int timeoutMs) = 0;
    virtual std::string ReadLine(int timeoutMs) = 0;
    virtual int Write(const char* buffer, int length) = 0;
    virtual bool WriteByte(char byte) = 0;
    virtual int WriteString(std::string_view text);
    virtual int BytesAvailable() = 0;
    virtual void Purge() = 0;
    virtual std::string Query(std::string_view command, int timeoutMs);
    virtual bool IsOpen() const;
    virtual void SetLineFeedEndsLine(bool endsLine);
    virtual bool GetLineFeedEndsLine() const;
    // Why the last open failed, or why an open network channel's connection did not come up; None
    // after an open that succeeded. Survives the close that follows a failure.
    virtual EOpenFailure GetLastOpenFailure() const;
    // How long the connection took to come up [ms]: a network link's round trip; 0 for a serial port.
    virtual int GetConnectRoundTripMs() const;

    // Reply framing shared by the channels: adds one received byte to the line and says whether it
    // ended the line. CR ends it; LF ends it when lineFeedEndsLine is set and is dropped otherwise.
    static bool AppendReplyByte(std::string& line, char byte, bool lineFeedEndsLine);

protected:
    explicit CSerialBase(int channelType) : m_channelType(channelType) {}

    // The command and reply traces every channel writes (category ccComm, level 2).
    static void TraceCommand(const char* buffer, int length);
    static void TraceResponse(const std::string& line);
    // Records the failure (or None) for GetLastOpenFailure; answers false for the open that failed.
    bool SetOpenFailure(EOpenFailure failure);

    // Read by other threads (IsOpen) while the owning thread closes the channel.
    std::atomic<bool> m_lineFeedEndsLine{false};
    std::atomic<bool> m_isOpen{false};
    std::atomic<EOpenFailure> m_openFailure{EOpenFailure::None};
    int m_channelType;
};
