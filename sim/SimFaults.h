#pragma once

#include <atomic>

// Fault injection switches. Written by tests or the command line from any thread, read by the engine
// and the transports while they run, hence atomics.
struct SSimFaults
{
    std::atomic<bool> silent{false};       // unit hears nothing and says nothing
    std::atomic<int> dropEvery{0};         // drop every Nth reply line (0 = never)
    std::atomic<bool> truncate{false};     // replies with several fields lose their last field
    std::atomic<bool> garble{false};       // one byte of every reply is corrupted
    std::atomic<bool> wrongChannel{false}; // channel queries answer a neighbour's number
    std::atomic<int> delayMs{0};           // extra delay before each reply [ms]
};
