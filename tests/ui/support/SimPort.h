#pragma once

#include "SimInstrument.h"

#include <memory>
#include <string>

// A simulated unit on a pseudo-terminal registered as serial port n (or on loopback TCP), for panel
// tests: the descriptor a panel connects with, and the unit to inspect or upset.
struct SSimPort
{
    std::unique_ptr<CSimInstrument> sim;
    std::string descriptor;
    int portNumber = 0;

    // Null when the model is unknown or the transport could not start.
    static std::unique_ptr<SSimPort> OnPty(const std::string& model, int portNumber);
    static std::unique_ptr<SSimPort> OnTcp(const std::string& model);
    SSimPort() = default;
    ~SSimPort();
    SSimPort(const SSimPort&) = delete;
    SSimPort& operator=(const SSimPort&) = delete;
};
