#pragma once

#include <string_view>

// The form of a host as a person types it for a network port, checked before it is stored so that a
// typing slip is told at once rather than as a failed connection later.
enum class EHostForm
{
    Ipv4Address, // four parts 0-255 with dots
    HostName,    // labels of letters, digits and inner hyphens, 1-63 characters, 253 in all
    BadIpv4,     // only digits and dots, but not four parts of 0-255 (or a part with a leading zero)
    Ipv6Literal, // hex digits and two or more colons: IPv6, which "TCP:<host>:<port>" cannot carry
    BadHostName  // any other text, a "host:port" among it
};

namespace HostNameForm
{
EHostForm Classify(std::string_view host);
} // namespace HostNameForm
