#pragma once

#include <atomic>

// The unit's serial line as the transports see it; changed from any thread.
struct SSimLineSettings
{
    std::atomic<int> baud{38400};        // the unit's own rate; a terminal set to another rate is not heard
    std::atomic<bool> wireTiming{false}; // pace bytes at the baud rate (10 bits per byte), both ways
};
