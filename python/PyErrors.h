#pragma once

#include <pybind11/pybind11.h>
#include <string>

// The module's exception classes, created once when the module loads. Every failure a script can act on
// is one of them, so an experiment can tell a refused value from a lost unit.
namespace PyErrors
{
void Register(pybind11::module_& module);

// Raise the class with the text (as pybind11::error_already_set, so the GIL holder sees it).
[[noreturn]] void ThrowConnect(const std::string& text);
[[noreturn]] void ThrowRefused(const std::string& text);
[[noreturn]] void ThrowInstrument(const std::string& text);
[[noreturn]] void ThrowUnconfirmed(const std::string& text);
[[noreturn]] void ThrowNotConnected();
[[noreturn]] void ThrowTimeout(const std::string& text);
} // namespace PyErrors
