#include "comm/EnumerateComPorts.h"

#include "comm/PortRegistry.h"
#include "comm/SerialDeviceScan.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <strings.h>

namespace
{
bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    const size_t length = std::char_traits<char>::length(prefix);
    return text.size() >= length && strncasecmp(text.c_str(), prefix, length) == 0;
}

std::string WithNumber(const std::string& name, int portNumber)
{
    return portNumber > 0 ? name + " (COM" + std::to_string(portNumber) + ")" : name;
}

SSerInfo FromDevice(const SSerialDevice& device, CPortRegistry& registry)
{
    SSerInfo port;
    port.devicePath = device.devicePath;
    port.description = device.description;
    port.friendlyName =
        WithNumber(device.description, registry.NumberFor(device.identity, device.devicePath));
    port.isUsb = IsUsbPort(device.location, device.description);
    return port;
}

// Explicit entries name paths that are not devices of their own (pseudo-terminals, links made by a
// simulator); a path that is also a device found above is already listed with this number.
void AddExplicitEntries(std::vector<SSerInfo>& ports, const CPortRegistry& registry)
{
    for (const auto& [number, path] : registry.ExplicitEntries())
    {
        std::error_code error;
        const bool listed =
            std::any_of(ports.begin(), ports.end(),
                        [&path = path](const SSerInfo& port) { return port.devicePath == path; });
        if (listed || !std::filesystem::exists(path, error))
            continue;
        SSerInfo port;
        port.devicePath = path;
        port.friendlyName = WithNumber(path, number);
        ports.push_back(std::move(port));
    }
}
} // namespace

void EnumerateComPorts(std::vector<SSerInfo>& ports)
{
    EnumerateComPorts(ports, SDeviceRoots(), CPortRegistry::Instance());
}

void EnumerateComPorts(std::vector<SSerInfo>& ports, const SDeviceRoots& roots, CPortRegistry& registry)
{
    std::vector<SSerInfo> found;
    for (const SSerialDevice& device : ScanSerialDevices(roots))
        found.push_back(FromDevice(device, registry));
    AddExplicitEntries(found, registry);
    for (SSerInfo& port : found)
        CompleteSerInfo(port);
    SortSerInfo(found);
    ports.swap(found);
}

void CompleteSerInfo(SSerInfo& port)
{
    if (port.friendlyName.empty())
        port.friendlyName = port.portName;
    if (port.description.empty())
    {
        port.description = port.friendlyName;
        const auto open = port.description.find(" (");
        if (open != std::string::npos && open > 0 && port.description.back() == ')')
            port.description.erase(open);
    }
    port.portNumber = 0;
    const auto com = port.friendlyName.find("(COM");
    if (com == std::string::npos)
        return;
    const char* first = port.friendlyName.data() + com + 4;
    const char* last = port.friendlyName.data() + port.friendlyName.size();
    int number = 0;
    if (std::from_chars(first, last, number).ec == std::errc())
    {
        port.portNumber = number;
        port.portName = "COM" + std::to_string(number);
    }
}

void SortSerInfo(std::vector<SSerInfo>& ports)
{
    std::vector<SSerInfo> sorted;
    sorted.reserve(ports.size());
    for (int number = CPortRegistry::MinPort; number <= CPortRegistry::MaxPort; ++number)
        std::copy_if(ports.begin(), ports.end(), std::back_inserter(sorted),
                     [number](const SSerInfo& port) { return port.portNumber == number; });
    std::copy_if(ports.begin(), ports.end(), std::back_inserter(sorted),
                 [](const SSerInfo& port) { return port.portNumber == 0; });
    ports.swap(sorted);
}

bool IsUsbPort(const std::string& location, const std::string& description)
{
    const bool busSaysUsb =
        location.empty() ? StartsWithNoCase(description, "USB") : StartsWithNoCase(location, "USB");
    return busSaysUsb || StartsWithNoCase(description, "CP210");
}
