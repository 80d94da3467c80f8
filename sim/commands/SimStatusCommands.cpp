#include "commands/SimStatusCommands.h"

#include "commands/SimArgs.h"
#include "physics/SimStatusRegisters.h"

#include <cstdint>

using namespace simargs;

namespace
{
using simstatus::StatusHandler;

StatusHandler Mask(void (CSimStatusRegisters::*setter)(uint16_t))
{
    return [setter](CSimStatusRegisters& registers, std::string_view args)
    {
        const auto value = Integer(args); // "%us": the unit takes the trailing s
        if (!value)
            return SSimResult::Error(kBadParameter);
        if (*value < 0 || *value > 0xFFFF)
            return SSimResult::Error(kOutOfRange);
        (registers.*setter)(static_cast<uint16_t>(*value));
        return SSimResult::Done();
    };
}

StatusHandler MaskQuery(uint16_t (CSimStatusRegisters::*getter)() const)
{
    return [getter](CSimStatusRegisters& registers, std::string_view) { return Int((registers.*getter)()); };
}
} // namespace

void simstatus::AddStatusCommands(const std::string& family, const AddFn& add)
{
    add(family + ":COND?",
        [](CSimStatusRegisters& registers, std::string_view) { return Int(registers.GetCondition()); });
    add(family + ":EVE?",
        [](CSimStatusRegisters& registers, std::string_view) { return Int(registers.TakeEvents()); });
    add(family + ":STB?",
        [](CSimStatusRegisters& registers, std::string_view) { return Int(registers.GetStatusByte()); });
    add(family + ":ENAB:COND", Mask(&CSimStatusRegisters::SetConditionEnable));
    add(family + ":ENAB:COND?", MaskQuery(&CSimStatusRegisters::GetConditionEnable));
    add(family + ":ENAB:EVE", Mask(&CSimStatusRegisters::SetEventEnable));
    add(family + ":ENAB:EVE?", MaskQuery(&CSimStatusRegisters::GetEventEnable));
    add(family + ":ENAB:OUTOFF", Mask(&CSimStatusRegisters::SetOutputOffEnable));
    add(family + ":ENAB:OUTOFF?", MaskQuery(&CSimStatusRegisters::GetOutputOffEnable));
}
