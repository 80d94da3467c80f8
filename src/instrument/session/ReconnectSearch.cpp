#include "instrument/session/ReconnectSearch.h"

#include <vector>

CReconnectSearch::CReconnectSearch(std::string descriptor, std::string model, std::string serialNumber)
    : m_descriptor(std::move(descriptor)), m_model(std::move(model)), m_serialNumber(std::move(serialNumber))
{
    if (CPortSearch::SerialPortOf(m_descriptor) > 0)
        m_ports = std::make_unique<CPortSearch>(m_descriptor);
}

bool CReconnectSearch::IsSought(const std::string& model, const std::string& serialNumber) const
{
    return model == m_model && serialNumber == m_serialNumber;
}

bool CReconnectSearch::Round(const Attempt& attempt, const StopRequested& stop)
{
    // A network instrument is only ever at its own address.
    const std::vector<std::string> candidates = m_ports
                                                    ? m_ports->Candidates(std::chrono::steady_clock::now())
                                                    : std::vector<std::string>{m_descriptor};
    for (const std::string& descriptor : candidates)
    {
        if (stop && stop())
            return false;
        if (attempt(descriptor))
        {
            m_descriptor = descriptor;
            return true;
        }
        if (m_ports)
            m_ports->Failed(descriptor, std::chrono::steady_clock::now());
    }
    return false;
}
