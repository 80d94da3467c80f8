#pragma once

#include <string>

// Maps the system's serial port numbers ("COM n", 1 to 255) to device paths: explicit entries (a
// simulator's pseudo-terminal, a test's pty) and the numbered serial devices of the port registry.
class CPortResolver
{
public:
    static constexpr int MinPort = 1;
    static constexpr int MaxPort = 255;

    // False when the number is outside 1..255 or the path is empty.
    static bool Register(int portNumber, const std::string& devicePath);
    static void Unregister(int portNumber);
    // The device path for the number; empty when none is known.
    static std::string Resolve(int portNumber);
};
