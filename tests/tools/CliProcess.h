#pragma once

#include <string>
#include <vector>

// What one run of the tamrix-cli executable gave.
struct SCliRun
{
    int exitCode = -1; // -1 when it did not end normally before the deadline
    std::string out;
    std::string err;
};

// Runs tamrix-cli with the arguments and its settings under configHome (XDG_CONFIG_HOME), reading
// both outputs until it ends; killed when it outlives the deadline.
SCliRun RunCliProcess(const std::vector<std::string>& args, const std::string& configHome,
                      int timeoutMs = 60000);
