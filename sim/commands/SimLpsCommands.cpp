#include "commands/SimLpsCommands.h"

#include "SimCommandRegistry.h"
#include "SimText.h"
#include "commands/SimArgs.h"
#include "commands/SimCalibration.h"
#include "commands/SimLpsBank.h"
#include "commands/SimStatusCommands.h"

#include <functional>

using namespace simargs;

namespace
{
constexpr int kCurrentDecimals = 4; // [A]
constexpr int kVoltageDecimals = 3; // [V]
constexpr int kLimitDecimals = 3;
constexpr int kRateDecimals = 2; // [A/s], [V/s]

using Setter = int (CSimLampSupply::*)(double);
using Getter = double (CSimLampSupply::*)() const;
using LpsHandler = std::function<SSimResult(CSimLampSupply& lamp, CSimUnit& unit, std::string_view args)>;

void On(CSimCommandRegistry& registry, const std::string& header, LpsHandler handler, bool gateCableR = false)
{
    registry.Add(
        header,
        [handler = std::move(handler), gateCableR](CSimUnit& unit, int channel, std::string_view args)
        {
            if (unit.Model().lpsChannels == 0 || (gateCableR && !unit.Model().cableR))
                return SSimResult::Error(kUnknownCommand);
            CSimLpsBank& bank = unit.Part<CSimLpsBank>();
            if (channel < 0 || channel >= bank.Count())
                return SSimResult::Error(kUnknownCommand);
            return handler(bank.Channel(channel), unit, args);
        });
}

LpsHandler SetOne(Setter setter)
{
    return [setter](CSimLampSupply& lamp, CSimUnit&, std::string_view args)
    {
        const auto value = Number(args);
        return value ? Status((lamp.*setter)(*value)) : SSimResult::Error(ParseError(args, 1));
    };
}

LpsHandler GetOne(Getter getter, int decimals)
{
    return [getter, decimals](CSimLampSupply& lamp, CSimUnit&, std::string_view)
    { return Fixed((lamp.*getter)(), decimals); };
}

void AddModesAndOutput(CSimCommandRegistry& r)
{
    On(r, "LPS:MODE:I",
       [](CSimLampSupply& lamp, CSimUnit&, std::string_view)
       { return Status(lamp.SetMode(CSimLampSupply::ModeCurrent)); });
    On(r, "LPS:MODE:V",
       [](CSimLampSupply& lamp, CSimUnit&, std::string_view)
       { return Status(lamp.SetMode(CSimLampSupply::ModeVoltage)); });
    On(r, "LPS:MODE?",
       [](CSimLampSupply& lamp, CSimUnit&, std::string_view)
       { return SSimResult::Answer(lamp.GetMode() == CSimLampSupply::ModeVoltage ? "V" : "I"); });
    On(r, "LPS:OUT",
       [](CSimLampSupply& lamp, CSimUnit&, std::string_view args)
       {
           const auto on = Integer(args);
           if (!on || (*on != 0 && *on != 1))
               return SSimResult::Error(on ? kOutOfRange : kBadParameter);
           return Status(lamp.SetOutput(*on == 1));
       });
    On(r, "LPS:OUT?",
       [](CSimLampSupply& lamp, CSimUnit&, std::string_view) { return Int(lamp.GetOutput() ? 1 : 0); });
}

void AddValues(CSimCommandRegistry& r)
{
    On(r, "LPS:I?", GetOne(&CSimLampSupply::GetCurrent, kCurrentDecimals));
    On(r, "LPS:V?", GetOne(&CSimLampSupply::GetVoltage, kVoltageDecimals));
    On(r, "LPS:VBULK?", GetOne(&CSimLampSupply::GetVBulk, 2));
    On(r, "LPS:I", SetOne(&CSimLampSupply::SetCurrent));
    On(r, "LPS:V", SetOne(&CSimLampSupply::SetVoltage));
    On(r, "LPS:SET:I?", GetOne(&CSimLampSupply::GetCurrentSet, kCurrentDecimals));
    On(r, "LPS:SET:V?", GetOne(&CSimLampSupply::GetVoltageSet, kVoltageDecimals));
    On(r, "LPS:LIM:I", SetOne(&CSimLampSupply::SetCurrentLimit));
    On(r, "LPS:LIM:V", SetOne(&CSimLampSupply::SetVoltageLimit));
    On(r, "LPS:LIM:I?", GetOne(&CSimLampSupply::GetCurrentLimit, kLimitDecimals));
    On(r, "LPS:LIM:V?", GetOne(&CSimLampSupply::GetVoltageLimit, kLimitDecimals));
    On(r, "LPS:IRATE", SetOne(&CSimLampSupply::SetCurrentRate));
    On(r, "LPS:VRATE", SetOne(&CSimLampSupply::SetVoltageRate));
    On(r, "LPS:IRATE?", GetOne(&CSimLampSupply::GetCurrentRate, kRateDecimals));
    On(r, "LPS:VRATE?", GetOne(&CSimLampSupply::GetVoltageRate, kRateDecimals));
    On(r, "LPS:CABLER", SetOne(&CSimLampSupply::SetCableR), true);
    On(r, "LPS:CABLER?", GetOne(&CSimLampSupply::GetCableR, 3), true);
    On(r, "LPS:VSENSE",
       [](CSimLampSupply& lamp, CSimUnit&, std::string_view args)
       {
           const auto on = Integer(args);
           return on ? Status(lamp.SetVSense(static_cast<int>(*on))) : SSimResult::Error(kBadParameter);
       });
    On(r, "LPS:VSENSE?",
       [](CSimLampSupply& lamp, CSimUnit&, std::string_view) { return Int(lamp.GetVSense()); });

    simstatus::AddStatusCommands(
        "LPS",
        [&r](const std::string& header, simstatus::StatusHandler handler)
        {
            On(r, header,
               [handler = std::move(handler)](CSimLampSupply& lamp, CSimUnit&, std::string_view args)
               { return handler(lamp, args); });
        });
}

// Factory calibration: "LPS:CAL:I" or "LPS:CAL:I 1" starts or advances a step, "LPS:CAL:I?" answers
// the step it is at, "LPS:CAL:R %f" enters the reference resistor, "LPS:FACT:PUT n,v" a factory word.
void AddFactory(CSimCommandRegistry& r)
{
    for (const char* name : {"I", "V", "VBULK", "PS", "ILIMIT"})
    {
        const std::string header = std::string("LPS:CAL:") + name;
        On(r, header,
           [header](CSimLampSupply&, CSimUnit& unit, std::string_view args)
           {
               const auto step =
                   simtext::Trim(args).empty() ? std::optional<long long>(1) : simtext::ToInt(args);
               if (!step)
                   return SSimResult::Error(kBadParameter);
               unit.Part<CSimCalibration>().Start(header, static_cast<int>(*step));
               return SSimResult::Done();
           });
        On(r, header + "?",
           [header](CSimLampSupply&, CSimUnit& unit, std::string_view)
           { return Int(unit.Part<CSimCalibration>().StepOf(header)); });
    }
    On(r, "LPS:CAL:R",
       [](CSimLampSupply&, CSimUnit& unit, std::string_view args)
       {
           const auto value = Number(args);
           if (!value || *value <= 0.0)
               return SSimResult::Error(value ? kOutOfRange : ParseError(args, 1));
           unit.Part<CSimCalibration>().SetValue("LPS:CAL:R", *value);
           return SSimResult::Done();
       });
    On(r, "LPS:CAL:R?",
       [](CSimLampSupply&, CSimUnit& unit, std::string_view)
       { return Fixed(unit.Part<CSimCalibration>().ValueOf("LPS:CAL:R"), 4); });
    On(r, "LPS:CAL:CANCEL",
       [](CSimLampSupply&, CSimUnit& unit, std::string_view)
       {
           unit.Part<CSimCalibration>().Cancel();
           return SSimResult::Done();
       });
    On(r, "LPS:FACT:PUT",
       [](CSimLampSupply&, CSimUnit& unit, std::string_view args)
       {
           const auto fields = Numbers(args, 2);
           if (!fields)
               return SSimResult::Error(ParseError(args, 2));
           unit.Part<CSimCalibration>().SetValue("LPS:FACT:" + simtext::Fixed((*fields)[0], 0), (*fields)[1]);
           return SSimResult::Done();
       });
}
} // namespace

void CSimLpsCommands::Register(CSimCommandRegistry& registry)
{
    AddModesAndOutput(registry);
    AddValues(registry);
    AddFactory(registry);
    registry.AddTicker(
        [](CSimUnit& unit, double dt)
        {
            if (unit.Model().lpsChannels > 0)
                unit.Part<CSimLpsBank>().Tick(unit, dt);
        });
}

void RegisterLpsCommands(CSimCommandRegistry& registry)
{
    CSimLpsCommands::Register(registry);
}
