#pragma once

#include <string>

// Per-connection input state: the part of a line received so far.
struct SSimSession
{
    std::string partial;
    bool overflow = false; // the current line grew too long and is being discarded
};
