#pragma once

#include "comm/Serial.h"

#include <string>
#include <string_view>

class CSerialMulti;

// The command port of one channel of a multi-channel device: every operation goes to the shared port,
// so all channels write into, read from and lock the same connection. Its own channel stays empty,
// hence GetType answers 0 (callers ask the shared port for the kind of connection).
class CSerialRedirector : public CSerial
{
public:
    // The target is not owned and must outlive the redirector.
    explicit CSerialRedirector(CSerialMulti* target);

    CSerialMulti* GetTarget() const { return m_target; }

    bool OpenPort(int portNumber, int baud) override;
    bool OpenPortByName(const std::string& deviceName, int baud) override;
    bool OpenNetwork(const std::string& host, int tcpPort) override;
    bool Close() override;
    int GetPortNumber() const override;
    int GetBaud() const override;
    CLinkSilence& Silence() override;
    int Read(char* buffer, int capacity, int timeoutMs) override;
    std::string ReadLine(int timeoutMs) override;
    int Write(const char* buffer, int length) override;
    bool WriteByte(char byte) override;
    int WriteString(std::string_view text) override;
    int BytesAvailable() override;
    void Purge() override;
    std::string Query(std::string_view command, int timeoutMs) override;
    bool IsOpen() const override;
    void SetLineFeedEndsLine(bool endsLine) override;
    bool GetLineFeedEndsLine() const override;

    LockHandle Lock() override;
    void Unlock(LockHandle handle) override;
    int LockedRead(char* buffer, int capacity, int timeoutMs) override;
    int LockedWriteString(std::string_view text) override;
    int LockedWrite(const char* buffer, int length) override;
    int LockedBytesAvailable() override;
    int GetConnectRoundTripMs() const override;
    CLateReplies& GetLateReplies() override;

private:
    CSerialMulti* m_target;
};
