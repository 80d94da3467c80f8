#pragma once

#include <string_view>

// The window's thread must never wait on an instrument. It marks itself here, and every call that would
// touch a port or wait for the poll thread from it is counted and written to the event log, so that a
// dialog or panel that slips back into waiting shows up in the log and in the benches.
class CWaitWatch
{
public:
    static void ForbidWaitsOnThisThread();
    // Where a caller is about to talk to a unit and wait for it.
    static void Note(std::string_view command);
    // Calls noted on a marked thread since the program started.
    static int Count();
};
