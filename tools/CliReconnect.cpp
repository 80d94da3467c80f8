#include "CliReconnect.h"

#include "CliConnection.h"
#include "CliStopSignals.h"
#include "instrument/session/InstrBase.h"

CCliReconnect::CCliReconnect(std::string descriptor, std::string model, std::string serialNumber)
    : m_descriptor(std::move(descriptor)), m_model(std::move(model)), m_serialNumber(std::move(serialNumber))
{
    if (CCliPortSearch::SerialPortOf(m_descriptor) > 0)
        m_search = std::make_unique<CCliPortSearch>(m_descriptor);
}

bool CCliReconnect::TryOpen(CCliConnection& connection, const std::string& descriptor)
{
    std::string message;
    connection.Close();
    if (connection.Open(descriptor, message) == 0 && connection.Instrument().GetModel() == m_model &&
        connection.Instrument().GetSerialNumber() == m_serialNumber)
    {
        m_descriptor = descriptor;
        return true;
    }
    connection.Close();
    return false;
}

bool CCliReconnect::Wait(CCliConnection& connection, CCliStopSignals& stop)
{
    connection.Close();
    while (!stop.WaitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(1)))
    {
        if (!m_search)
        {
            if (TryOpen(connection, m_descriptor))
                return true;
            continue;
        }
        for (const std::string& descriptor : m_search->Candidates(std::chrono::steady_clock::now()))
        {
            if (TryOpen(connection, descriptor))
                return true;
            m_search->Failed(descriptor, std::chrono::steady_clock::now());
        }
    }
    return false;
}
