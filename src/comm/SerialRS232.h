#pragma once

#include "comm/LineRemainder.h"
#include "comm/ReplyPacing.h"
#include "comm/SerialBase.h"

#include <atomic>
#include <chrono>
#include <string>

// The byte channel for a serial device node (RS-232 port, USB virtual COM port, pseudo-terminal):
// raw 8N1 without flow control, DTR and RTS raised. A device that goes away (unplugged adapter,
// closed pseudo-terminal) closes the channel at the next read, write or queue query.
class CSerialRS232 : public CSerialBase
{
public:
    static constexpr int DefaultBaud = 38400;
    static constexpr int WriteTimeoutMs = 1000;
    static constexpr int LineChunk = 256;

    CSerialRS232();
    ~CSerialRS232() override;

    // Resolves the number through CPortResolver; numbers outside 1..255 or unknown ones fail.
    bool OpenPort(int portNumber, int baud) override;
    // Baud 0 means 38400. An already open channel returns true and changes nothing.
    bool OpenPortByName(const std::string& deviceName, int baud) override;
    bool Close() override;
    int GetPortNumber() const override;
    int GetBaud() const override;
    // Returns at once with what is queued (at most capacity bytes), bytes kept from the last line first;
    // the time-out is not needed here.
    int Read(char* buffer, int capacity, int timeoutMs) override;
    // One reply line; the partial line at the time-out. A reply whose length the same command's last
    // reply told is left to gather in the queue while it is on the wire, up to a few bytes before its
    // expected end.
    std::string ReadLine(int timeoutMs) override;
    // Sends the bytes in order. A byte the device takes nothing of for WriteTimeoutMs fails and the
    // next gets a time-out of its own; after two in a row the queued output is dropped and the write
    // ends. Returns the count sent.
    int Write(const char* buffer, int length) override;
    bool WriteByte(char byte) override;
    int BytesAvailable() override;
    void Purge() override;

private:
    bool ConfigureLine(int baud);
    // Writes as much of the buffer as the device takes within one pending-write limit; -1 when the
    // device went away (the channel is then closed).
    int WriteSome(const char* buffer, int length);
    // One non-blocking read from the device; 0 when nothing is queued or the device went away.
    int ReadDevice(char* buffer, int capacity);
    // Waits up to waitMs for input; false when none came or the device went away.
    bool WaitReadable(int waitMs);
    // Closes the channel when errno says the device is gone; true when it did.
    bool CloseIfGone(int error);
    // One byte's time on the line.
    std::chrono::nanoseconds ByteTime() const;
    // After part of a line: sleeps (never past the deadline) while the rest of a reply of known
    // length is still on the wire, so the reply costs a few wake-ups rather than one per byte batch.
    void GatherRest(int received, std::chrono::steady_clock::time_point deadline);
    // Sleeps until the reply to the command just sent is due, if that is known; whether it slept.
    bool SleepUntilReplyDue(std::chrono::steady_clock::time_point deadline);

    std::atomic<int> m_portNumber{0};
    std::atomic<int> m_baud{0};
    int m_fd = -1;
    CLineRemainder m_pending;
    CReplyPacing m_pacing;
};
