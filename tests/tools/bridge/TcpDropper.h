#pragma once

#include <atomic>
#include <thread>

// A loopback TCP listener that accepts every connection and closes it at once, as a broker that
// drops its clients would; counts the connections.
class CTcpDropper
{
public:
    CTcpDropper();
    ~CTcpDropper();
    CTcpDropper(const CTcpDropper&) = delete;
    CTcpDropper& operator=(const CTcpDropper&) = delete;

    int Port() const { return m_port; }
    int Accepted() const { return m_accepted.load(); }

private:
    void Run();

    int m_listener = -1;
    int m_port = 0;
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
