#pragma once

#include <functional>

// Waits of the module: the condition is looked at whenever block returns (a poll cycle ended, or a
// slice of time passed), with the GIL released while the thread blocks (the poll thread and other
// Python threads run on), and Python's signal handlers run between looks, so Ctrl-C ends a wait with
// KeyboardInterrupt.
namespace PyWait
{
// The longest a thread blocks between two looks: how late Ctrl-C may be.
constexpr int SliceMs = 100;

// Blocks for at most the given milliseconds, or less once there may be news. Called without the GIL.
using Block = std::function<void(int timeoutMs)>;

// True as soon as done() answers true, false once timeoutS has passed (a negative timeout: never).
// Raises whatever a signal handler raised. Call with the GIL held.
bool Until(const std::function<bool()>& done, double timeoutS, const Block& block);
} // namespace PyWait
