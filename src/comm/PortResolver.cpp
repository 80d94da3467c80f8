#include "comm/PortResolver.h"

#include <map>
#include <mutex>

namespace
{
struct PortTable
{
    std::mutex lock;
    std::map<int, std::string> paths;
};

PortTable& Table()
{
    static PortTable table;
    return table;
}

bool InRange(int portNumber)
{
    return portNumber >= CPortResolver::MinPort && portNumber <= CPortResolver::MaxPort;
}
} // namespace

bool CPortResolver::Register(int portNumber, const std::string& devicePath)
{
    if (!InRange(portNumber) || devicePath.empty())
        return false;
    std::lock_guard<std::mutex> guard(Table().lock);
    Table().paths[portNumber] = devicePath;
    return true;
}

void CPortResolver::Unregister(int portNumber)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    Table().paths.erase(portNumber);
}

std::string CPortResolver::Resolve(int portNumber)
{
    if (!InRange(portNumber))
        return {};
    std::lock_guard<std::mutex> guard(Table().lock);
    const auto found = Table().paths.find(portNumber);
    return found == Table().paths.end() ? std::string() : found->second;
}
