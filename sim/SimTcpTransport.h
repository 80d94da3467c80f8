#pragma once

#include "SimEngine.h"
#include "SimLineSettings.h"

#include <atomic>
#include <string>
#include <thread>

// The unit on a TCP port, as an instrument's network interface: one client at a time; later clients
// wait in the listen backlog until the current one leaves. Port 0 binds any free port (see Port).
// DropConnection closes the current client's connection as a failing network would.
class CSimTcpTransport
{
public:
    static constexpr int kPollMs = 250;
    static constexpr int kBacklog = 8;

    CSimTcpTransport(CSimEngine& engine, const SSimLineSettings& line);
    ~CSimTcpTransport();
    CSimTcpTransport(const CSimTcpTransport&) = delete;
    CSimTcpTransport& operator=(const CSimTcpTransport&) = delete;

    bool Start(const std::string& address, int port, std::string& error);
    void Stop();
    int Port() const { return m_port; }
    bool HasClient() const { return m_hasClient; }
    void DropConnection();

private:
    void Run();
    void Serve(int client);
    void Wake();

    CSimEngine& m_engine;
    const SSimLineSettings& m_line;
    int m_wakeFd = -1;
    int m_listen = -1;
    std::atomic<int> m_port{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_drop{false};
    std::atomic<bool> m_hasClient{false};
    std::thread m_thread;
};
