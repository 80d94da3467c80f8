#pragma once

#include <stdexcept>
#include <string>

// The one failure that port discovery raises; what() is the text shown to the user or logged.
class CPortDiscoveryError : public std::runtime_error
{
public:
    explicit CPortDiscoveryError(const std::string& text) : std::runtime_error(text) {}
};
