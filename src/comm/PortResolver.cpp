#include "comm/PortResolver.h"

#include "comm/PortRegistry.h"

// The process-wide port registry carries both the explicit entries and the numbered devices.

bool CPortResolver::Register(int portNumber, const std::string& devicePath)
{
    return CPortRegistry::Instance().Register(portNumber, devicePath);
}

void CPortResolver::Unregister(int portNumber)
{
    CPortRegistry::Instance().Unregister(portNumber);
}

std::string CPortResolver::Resolve(int portNumber)
{
    return CPortRegistry::Instance().Resolve(portNumber);
}
