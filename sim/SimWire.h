#pragma once

#include "SimLineSettings.h"

#include <chrono>
#include <string_view>

// Timing and writing on one connection of a transport: interruptible waits (a transport's wake
// descriptor ends them), the wire's pace at the unit's baud rate when wire timing is on, and complete
// writes on a non-blocking descriptor.
class CSimWire
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kWriteTimeoutMs = 1000; // a peer that takes nothing for this long loses the rest

    CSimWire(const SSimLineSettings& line, int wakeFd) : m_line(line), m_wakeFd(wakeFd) {}

    // Waits until the deadline; false when the wake descriptor became readable first.
    bool SleepUntil(Clock::time_point deadline) const;
    bool Sleep(std::chrono::milliseconds duration) const { return SleepUntil(Clock::now() + duration); }

    // Holds the caller until `count` received bytes would have crossed the wire; false when woken.
    bool Received(size_t count);
    // Writes every byte (socket: send without SIGPIPE), paced when wire timing is on; false when the
    // peer is gone, the write timed out or the transport is woken.
    bool Send(int fd, std::string_view bytes, bool socket);
    void Reset();

private:
    Clock::duration ByteTime() const;
    bool WriteAll(int fd, std::string_view bytes, bool socket) const;

    const SSimLineSettings& m_line;
    int m_wakeFd;
    Clock::time_point m_rxFree{};
    Clock::time_point m_txFree{};
};
