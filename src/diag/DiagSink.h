#pragma once

#include <functional>
#include <string>

// The process-wide diagnostic output: every log line goes here in addition to the log file.
// Standard error by default; tests install a capturing function. Lines are delivered one at a time
// (calls are serialised), so a sink needs no lock of its own but must not write to the sink itself.
class CDiagSink
{
public:
    using Function = std::function<void(const std::string&)>;

    static void Write(const std::string& text);
    // An empty function restores standard error.
    static void SetSink(Function sink);
    static void ResetSink() { SetSink(nullptr); }
};
