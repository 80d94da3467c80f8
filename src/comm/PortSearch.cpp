#include "comm/PortSearch.h"

#include "comm/EnumerateComPorts.h"
#include "comm/PortDescriptor.h"
#include "comm/PortDiscoveryError.h"

std::map<int, std::string> CPortSearch::PresentPorts()
{
    std::vector<SSerInfo> ports;
    try
    {
        EnumerateComPorts(ports);
    }
    catch (const CPortDiscoveryError&)
    {
        return {};
    }
    std::map<int, std::string> present;
    for (const SSerInfo& port : ports)
    {
        if (port.portNumber > 0)
            present[port.portNumber] = port.devicePath;
    }
    return present;
}

int CPortSearch::SerialPortOf(const std::string& descriptor)
{
    const auto parsed = PortDescriptor::Parse(descriptor);
    return parsed && parsed->kind == "COM" ? PortDescriptor::ToInt(parsed->first) : 0;
}

CPortSearch::CPortSearch(const std::string& descriptor)
    : m_descriptor(descriptor), m_unchanged(PresentPorts())
{
    m_unchanged.erase(SerialPortOf(descriptor));
}

std::vector<std::string> CPortSearch::Candidates(std::chrono::steady_clock::time_point now)
{
    const std::map<int, std::string> present = PresentPorts();
    for (auto it = m_unchanged.begin(); it != m_unchanged.end();)
    {
        const auto found = present.find(it->first);
        it = found != present.end() && found->second == it->second ? std::next(it) : m_unchanged.erase(it);
    }
    const auto parsed = PortDescriptor::Parse(m_descriptor);
    const std::string baud = parsed ? parsed->second : "0";
    std::vector<std::string> candidates;
    for (const auto& entry : present)
    {
        const int number = entry.first;
        const auto failed = m_failedAt.find(number);
        if (m_unchanged.count(number) || (failed != m_failedAt.end() && now - failed->second < RetryFailed))
            continue;
        candidates.push_back("COM:" + std::to_string(number) + ":" + baud);
    }
    return candidates;
}

void CPortSearch::Failed(const std::string& descriptor, std::chrono::steady_clock::time_point now)
{
    m_failedAt[SerialPortOf(descriptor)] = now;
}
