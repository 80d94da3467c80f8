#include "CliFormat.h"

#include <algorithm>

namespace
{
std::string Padded(std::string text, size_t width)
{
    if (text.size() < width)
        text.resize(width, ' ');
    return text;
}
} // namespace

namespace CliFormat
{
std::string IdentRecord(const SIdentRecord& record)
{
    return KeyValues(
        {{"familyCode", std::to_string(record.familyCode)},
         {"modelCode", std::to_string(record.modelCode)},
         {"variantCode", std::to_string(record.variantCode)},
         {"buildNumber", std::to_string(record.buildNumber)},
         {"version", std::to_string(record.versionMajor) + "." + std::to_string(record.versionMinor)}});
}

std::string PortTable(const std::vector<SSerInfo>& ports)
{
    std::string text = "NUMBER  NAME    USB  FRIENDLY NAME / PATH\n";
    for (const SSerInfo& port : ports)
    {
        const std::string number = port.portNumber > 0 ? std::to_string(port.portNumber) : "-";
        text += Padded(number, 8) + Padded(port.portName.empty() ? "-" : port.portName, 8) +
                Padded(port.isUsb ? "yes" : "no", 5) + port.friendlyName + "\n" + Padded("", 21) +
                port.devicePath + "\n";
    }
    return text;
}

std::string KeyValues(const std::vector<std::pair<std::string, std::string>>& rows)
{
    size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size() + 2);
    std::string text;
    for (const auto& [key, value] : rows)
        text += Padded(key + ":", width) + value + "\n";
    return text;
}
} // namespace CliFormat
