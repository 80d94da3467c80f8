#pragma once

#include "SimEngine.h"
#include "SimLineSettings.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

// The unit on a pseudo-terminal, as a program sees a serial port: Start prints nothing itself but
// reports the slave path (and keeps an optional symlink to it up to date).
//
// The transport holds the slave open itself: to read the line settings the program set (tcgetattr on
// the slave), to keep the terminal raw before the program configures it, and so that the program may
// close and reopen the port. Bytes that arrive while the slave's rate differs from the unit's baud are
// not heard. Unplug closes the master (the program's reads and writes then fail as on a pulled USB
// adapter); Replug makes a new terminal (a new path; the symlink follows).
class CSimPtyTransport
{
public:
    static constexpr int kPollMs = 250;

    CSimPtyTransport(CSimEngine& engine, const SSimLineSettings& line);
    ~CSimPtyTransport();
    CSimPtyTransport(const CSimPtyTransport&) = delete;
    CSimPtyTransport& operator=(const CSimPtyTransport&) = delete;

    bool Start(const std::string& link, std::string& error);
    void Stop();
    std::string Path() const; // empty while unplugged
    bool Unplug();
    bool Replug(std::string& error);

private:
    enum class ERequest
    {
        None,
        Unplug,
    };

    bool OpenTerminal(std::string& error);
    void CloseTerminal();
    // The same, with m_mutex already held.
    void CloseTerminalLocked();
    void UpdateLink();
    std::pair<int, int> TakeRequests();
    void Run();
    bool RateMatches(int slave) const;

    CSimEngine& m_engine;
    const SSimLineSettings& m_line;
    int m_wakeFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};

    mutable std::mutex m_mutex; // guards the fields below
    std::condition_variable m_done;
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    std::string m_link;
    ERequest m_request = ERequest::None;
};
