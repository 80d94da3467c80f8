#pragma once

#include "SimResult.h"

#include <functional>
#include <string>
#include <string_view>

class CSimStatusRegisters;

// The status-register commands every output channel family answers alike: "<family>:COND?",
// "<family>:EVE?" (reading clears it), "<family>:STB?" and the three enable masks
// "<family>:ENAB:COND|EVE|OUTOFF" with their queries.
namespace simstatus
{
using StatusHandler = std::function<SSimResult(CSimStatusRegisters& registers, std::string_view args)>;
// Registers one header with its handler on the family's channel.
using AddFn = std::function<void(const std::string& header, StatusHandler handler)>;

void AddStatusCommands(const std::string& family, const AddFn& add);
} // namespace simstatus
