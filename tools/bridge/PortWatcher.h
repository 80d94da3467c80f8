#pragma once

#include "comm/DeviceMonitor.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

// What the instrument links share about serial ports: the hot-plug monitor's notices, which wake the
// links waiting for an instrument to come back (they also look again every rescan period, because a
// pseudo-terminal registered under a port number has no notice), and which ports a link holds, so
// that two links never open one port. Thread-safe.
class CPortWatcher
{
public:
    // Without the monitor (tests, machines where it cannot start) the rescan alone finds the changes.
    explicit CPortWatcher(bool hotPlugMonitor = true);
    ~CPortWatcher();
    CPortWatcher(const CPortWatcher&) = delete;
    CPortWatcher& operator=(const CPortWatcher&) = delete;

    // Waits for a notice newer than seen, a Wake or the timeout; answers the newest notice.
    uint64_t WaitForChange(uint64_t seen, std::chrono::milliseconds timeout);
    void Wake();

    // A port another link does not hold: taken for this caller. False when it is held.
    bool Claim(int portNumber);
    void Release(int portNumber);

private:
    void Notice();

    std::mutex m_lock;
    std::condition_variable m_changed;
    uint64_t m_generation = 0;
    std::set<int> m_claimed;
    std::unique_ptr<CDeviceMonitor> m_monitor;
};
