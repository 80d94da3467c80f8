#include "CliReconnect.h"

#include "CliStopSignals.h"
#include "instrument/control/UnitConnection.h"
#include "instrument/session/InstrBase.h"

CCliReconnect::CCliReconnect(std::string descriptor, std::string model, std::string serialNumber)
    : m_search(std::move(descriptor), std::move(model), std::move(serialNumber))
{
}

bool CCliReconnect::TryOpen(CUnitConnection& connection, const std::string& descriptor)
{
    std::string message;
    connection.Close();
    if (connection.Open(descriptor, message) == EConnectResult::Ok &&
        m_search.IsSought(connection.Instrument().GetModel(), connection.Instrument().GetSerialNumber()))
        return true;
    connection.Close();
    return false;
}

bool CCliReconnect::Wait(CUnitConnection& connection, CCliStopSignals& stop)
{
    connection.Close();
    while (!stop.WaitUntil(std::chrono::steady_clock::now() + CReconnectSearch::RoundPeriod))
    {
        if (m_search.Round([&](const std::string& descriptor) { return TryOpen(connection, descriptor); }))
            return true;
    }
    return false;
}
