#pragma once

#include <functional>

// Waits of the module: the condition is checked in short slices up to a deadline, with the GIL released
// while the thread sleeps (the poll thread and other Python threads run on), and Python's signal
// handlers run between slices, so Ctrl-C ends a wait with KeyboardInterrupt.
namespace PyWait
{
// Milliseconds between two looks at the condition: short beside any poll period a person notices.
constexpr int SliceMs = 10;

// True as soon as done() answers true, false once timeoutS has passed (a negative timeout: never).
// Raises whatever a signal handler raised. Call with the GIL held.
bool Until(const std::function<bool()>& done, double timeoutS);
} // namespace PyWait
