#include "CliReconnect.h"

#include "CliConnection.h"
#include "CliStopSignals.h"
#include "instrument/session/InstrBase.h"

CCliReconnect::CCliReconnect(std::string descriptor, std::string model, std::string serialNumber)
    : m_search(std::move(descriptor), std::move(model), std::move(serialNumber))
{
}

bool CCliReconnect::TryOpen(CCliConnection& connection, const std::string& descriptor)
{
    std::string message;
    connection.Close();
    if (connection.Open(descriptor, message) == 0 &&
        m_search.IsSought(connection.Instrument().GetModel(), connection.Instrument().GetSerialNumber()))
        return true;
    connection.Close();
    return false;
}

bool CCliReconnect::Wait(CCliConnection& connection, CCliStopSignals& stop)
{
    connection.Close();
    while (!stop.WaitUntil(std::chrono::steady_clock::now() + CReconnectSearch::RoundPeriod))
    {
        if (m_search.Round([&](const std::string& descriptor) { return TryOpen(connection, descriptor); }))
            return true;
    }
    return false;
}
