#pragma once

#include "support/PtyPair.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// A scripted laser unit on a pseudo-terminal that keeps every byte it received, so tests can check the
// exact line ends of what the channel sent. As a unit does, it ends a line at CR or LF; each non-empty
// line goes to the reply function, whose answer (if any) is written back.
class LaserWire
{
public:
    using Reply = std::function<std::string(const std::string& line)>;

    explicit LaserWire(Reply reply);
    ~LaserWire();
    LaserWire(const LaserWire&) = delete;
    LaserWire& operator=(const LaserWire&) = delete;

    const std::string& Path() const { return m_pty.SlavePath(); }
    // Every byte received so far.
    std::string Received() const;
    void ClearReceived();
    // Waits until the received bytes contain text; false at the deadline.
    bool WaitFor(const std::string& text, int timeoutMs) const;

private:
    void Run();

    PtyPair m_pty;
    Reply m_reply;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::string m_received;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
