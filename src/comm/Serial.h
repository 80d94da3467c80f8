#pragma once

#include "comm/LateReplies.h"
#include "comm/LinkSilence.h"
#include "comm/SerialBase.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// The command port: owns one byte channel, created by each open, and a recursive lock under which
// whole exchanges are written, so two threads never interleave their commands.
class CSerial : public CSerialBase
{
public:
    // Holds the port lock while it lives; obtained from Lock, given back to Unlock.
    using LockHandle = std::unique_ptr<std::unique_lock<std::recursive_mutex>>;

    CSerial();
    ~CSerial() override;

    bool OpenPort(int portNumber, int baud) override;
    bool OpenPortByName(const std::string& deviceName, int baud) override;
    bool OpenNetwork(const std::string& host, int tcpPort) override;
    bool Close() override;
    int GetPortNumber() const override;
    int GetType() const override;
    int GetBaud() const override;
    int Read(char* buffer, int capacity, int timeoutMs) override;
    std::string ReadLine(int timeoutMs) override;
    int Write(const char* buffer, int length) override;
    bool WriteByte(char byte) override;
    int BytesAvailable() override;
    void Purge() override;
    std::string Query(std::string_view command, int timeoutMs) override; // locked
    bool IsOpen() const override;
    void SetLineFeedEndsLine(bool endsLine) override;
    bool GetLineFeedEndsLine() const override;
    // The channel's: why its open failed, or why its connection did not come up.
    EOpenFailure GetLastOpenFailure() const override;
    int GetConnectRoundTripMs() const override;
    // Replies owed to questions whose readers gave up; shared by everyone who talks on this connection.
    virtual CLateReplies& GetLateReplies();

    // Whether the unit behind this port answers; the channels of a shared port share one record.
    virtual CLinkSilence& Silence() { return m_silence; }

    virtual LockHandle Lock();
    virtual void Unlock(LockHandle handle);
    virtual int LockedRead(char* buffer, int capacity, int timeoutMs);
    virtual int LockedWriteString(std::string_view text);
    virtual int LockedWrite(const char* buffer, int length);
    virtual int LockedBytesAvailable();

protected:
    // Replaces the channel by a new one of the given kind and opens it with open(channel).
    template <typename Channel, typename OpenFn>
    bool OpenChannel(OpenFn open);
    void ReplaceChannel(std::unique_ptr<CSerialBase> channel);

    std::unique_ptr<CSerialBase> m_channel;
    CLateReplies m_lateReplies;
    mutable std::recursive_mutex m_portLock;
    // Guards only the swap of m_channel against the queries other threads make without the port lock
    // (IsOpen, GetType, ...); it is never held across I/O.
    mutable std::mutex m_channelGuard;
    CLinkSilence m_silence;
};
