#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// A loopback relay to a broker whose way back is slow: what the broker sends reaches the client only
// after a delay. Notes every client that closed its end while bytes of the broker were still on their
// way to it (an acknowledgement it never read). Each connection is relayed on a thread of its own.
class CSlowLink
{
public:
    CSlowLink(int brokerPort, std::chrono::milliseconds delay);
    ~CSlowLink();
    CSlowLink(const CSlowLink&) = delete;
    CSlowLink& operator=(const CSlowLink&) = delete;

    int Port() const { return m_port; }
    int Connections() const { return m_connections.load(); }
    int ClosedWithRepliesOwed() const { return m_closedWithRepliesOwed.load(); }

private:
    void Run();
    void Connect(int client);
    void Relay(int client, int broker);

    int m_brokerPort;
    std::chrono::milliseconds m_delay;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<int> m_connections{0};
    std::atomic<int> m_closedWithRepliesOwed{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_lock; // guards m_relays
    std::vector<std::thread> m_relays;
};
