#pragma once

#include "ChildProcess.h"

#include <string>

// A real mosquitto on a free loopback port, with a generated configuration (anonymous clients, no
// persistence). Stop and Start again keep the port, as a restarted broker would.
class CMosquittoBroker
{
public:
    // The broker's path, or empty when it is not installed (tests skip then).
    static std::string Binary();

    // folder: where the configuration and the log go.
    explicit CMosquittoBroker(std::string folder);
    // From the next Start on, refuses every client (no anonymous clients, and no accounts).
    void RefuseEveryone() { m_refuseEveryone = true; }
    // Starts and waits until it accepts connections.
    bool Start();
    void Stop();
    int Port() const { return m_port; }

private:
    std::string m_folder;
    int m_port = 0;
    bool m_refuseEveryone = false;
    CChildProcess m_process;
};
