#pragma once

#include <string>
#include <string_view>

// A TCP server on 127.0.0.1 with a port from bind(0), for one client at a time.
//
//   LoopbackServer server;                        // listening
//   port.OpenDescriptor(server.Descriptor());     // "TCP:127.0.0.1:<port>"
//   server.Accept(2000);                          // the channel's connection
//   server.Send("1.0\r2.0\r", 1000);              // one segment, two reply lines
//   server.ReceiveUntil('\n', 1000);              // a command the channel sent
//   server.CloseClient();                         // the instrument drops the connection
//
//   LoopbackServer refusing(LoopbackServer::Mode::Refusing);  // bound, never listening: connects
//                                                             // to its port are refused
// Every wait has a deadline in milliseconds.
class LoopbackServer
{
public:
    enum class Mode
    {
        Listening,
        Refusing
    };

    explicit LoopbackServer(Mode mode = Mode::Listening);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return m_port; }
    std::string Descriptor() const;

    // Accepts one client (replacing an earlier one); false when none came before the deadline.
    bool Accept(int timeoutMs);
    int ClientFd() const { return m_client; }
    bool Send(std::string_view bytes, int timeoutMs);
    std::string ReceiveUntil(char terminator, int timeoutMs);
    std::string ReceiveCount(size_t count, int timeoutMs);
    void CloseClient();

private:
    int m_listener = -1;
    int m_client = -1;
    int m_port = 0;
};
