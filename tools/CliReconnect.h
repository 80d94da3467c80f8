#pragma once

#include "instrument/session/ReconnectSearch.h"

#include <string>

class CUnitConnection;
class CCliStopSignals;

// "monitor --reconnect": waits for the instrument that went away (the same model and serial number)
// and connects to it again, on its own port or on any serial port that appears, or at its network
// address again.
class CCliReconnect
{
public:
    // Made while the instrument is connected on descriptor.
    CCliReconnect(std::string descriptor, std::string model, std::string serialNumber);

    // Looks once a second; true once connection holds the instrument again, false when a stop signal
    // came first.
    bool Wait(CUnitConnection& connection, CCliStopSignals& stop);
    const std::string& Descriptor() const { return m_search.Descriptor(); }

private:
    bool TryOpen(CUnitConnection& connection, const std::string& descriptor);

    CReconnectSearch m_search;
};
