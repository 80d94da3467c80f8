#pragma once

#include <optional>
#include <string>
#include <string_view>

// A port descriptor split into its three fields: kind ":" first ":" second, the second field ending at
// the next blank. "COM:3:9600" names serial port 3 at 9600 baud, "TCP:10.0.0.5:10001" a network port.
struct PortDescriptor
{
    std::string kind;
    std::string first;
    std::string second;

    // Empty when any of the three fields is missing or empty.
    static std::optional<PortDescriptor> Parse(std::string_view text);
    // For text a person typed: "COM:<port>:<baud>" or "TCP:<host>:<port>" exactly, the numbers plain
    // digits in range (a COM port 1 to 255, a TCP port 1 to 65535), nothing before, between or after.
    // Empty otherwise.
    static std::optional<PortDescriptor> ParseExact(std::string_view text);
    // atoi rules without the locale: leading blanks, an optional sign, digits; 0 when there are none.
    static int ToInt(std::string_view field);
};
