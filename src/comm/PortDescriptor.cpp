#include "comm/PortDescriptor.h"

#include <charconv>
#include <limits>

namespace
{
// Digits only (what a person means by a port number has no sign), from low to high.
bool IsNumberIn(std::string_view field, int low, int high)
{
    int value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return !field.empty() && field.front() >= '0' && field.front() <= '9' && error == std::errc() &&
           end == field.data() + field.size() && value >= low && value <= high;
}

constexpr int MaxComPort = 255;
constexpr int MaxTcpPort = 65535;
} // namespace

std::optional<PortDescriptor> PortDescriptor::Parse(std::string_view text)
{
    const size_t firstColon = text.find(':');
    if (firstColon == std::string_view::npos)
        return std::nullopt;
    const size_t secondColon = text.find(':', firstColon + 1);
    if (secondColon == std::string_view::npos)
        return std::nullopt;

    const std::string_view rest = text.substr(secondColon + 1);
    PortDescriptor result{std::string(text.substr(0, firstColon)),
                          std::string(text.substr(firstColon + 1, secondColon - firstColon - 1)),
                          std::string(rest.substr(0, rest.find_first_of(" \t")))};
    if (result.kind.empty() || result.first.empty() || result.second.empty())
        return std::nullopt;
    return result;
}

int PortDescriptor::ToInt(std::string_view field)
{
    const size_t start = field.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return 0;
    field.remove_prefix(start);
    if (field.front() == '+')
        field.remove_prefix(1);
    int value = 0;
    if (std::from_chars(field.data(), field.data() + field.size(), value).ec != std::errc())
        return 0;
    return value;
}

std::optional<PortDescriptor> PortDescriptor::ParseExact(std::string_view text)
{
    const size_t firstColon = text.find(':');
    const size_t secondColon =
        firstColon == std::string_view::npos ? firstColon : text.find(':', firstColon + 1);
    if (secondColon == std::string_view::npos || text.find(':', secondColon + 1) != std::string_view::npos)
        return std::nullopt;
    PortDescriptor result{std::string(text.substr(0, firstColon)),
                          std::string(text.substr(firstColon + 1, secondColon - firstColon - 1)),
                          std::string(text.substr(secondColon + 1))};
    if (result.kind == "COM" && IsNumberIn(result.first, 1, MaxComPort) &&
        IsNumberIn(result.second, 0, std::numeric_limits<int>::max()))
        return result;
    const bool plainHost =
        !result.first.empty() && result.first.find_first_of(" \t\r\n") == std::string::npos;
    if (result.kind == "TCP" && plainHost && IsNumberIn(result.second, 1, MaxTcpPort))
        return result;
    return std::nullopt;
}
