#include "commands/SimLaserCommands.h"

#include "SimCommandRegistry.h"
#include "SimText.h"
#include "commands/SimArgs.h"
#include "commands/SimCalibration.h"
#include "commands/SimLaserBank.h"
#include "commands/SimStatusCommands.h"

#include <cmath>
#include <functional>

using namespace simargs;

namespace
{
// Decimals of the unit's replies per quantity (LDI depends on the driver's size, see LdiDecimals).
constexpr int kMdiDecimals = 1; // [µA]
constexpr int kMdpDecimals = 3; // [mW]
constexpr int kLdvDecimals = 3; // [V]
constexpr int kLdvExtendedDecimals = 5;
constexpr int kSupplyDecimals = 2; // VBULK, VPEAK [V]
constexpr int kErrCalCancel = 535;

using Setter = int (CSimLaserUnit::*)(double);
using Getter = double (CSimLaserUnit::*)() const;
using LaserHandler = std::function<SSimResult(CSimLaserUnit& laser, CSimLaserBank& bank, CSimUnit& unit,
                                              std::string_view args)>;
using Gate = bool (*)(const SSimModel&);

// A small driver reports hundredths of a milliampere, a 16 A driver whole milliamperes.
int LdiDecimals(const CSimLaserUnit& laser)
{
    const double max = laser.GetConfig().maxLdiMa;
    return max <= 500.0 ? 2 : max <= 4000.0 ? 1 : 0;
}

bool HasPulseTiming(const SSimModel& m)
{
    return m.pulse || m.qcw;
}
bool HasQcw(const SSimModel& m)
{
    return m.qcw;
}
bool HasRanges(const SSimModel& m)
{
    return m.dualRange;
}
bool HasCableR(const SSimModel& m)
{
    return m.cableR;
}

void On(CSimCommandRegistry& registry, const std::string& header, LaserHandler handler, Gate gate = nullptr)
{
    registry.Add(header,
                 [handler = std::move(handler), gate, outsideFamily = header.rfind("LAS:", 0) != 0](
                     CSimUnit& unit, int channel, std::string_view args)
                 {
                     if (unit.Model().laserChannels == 0 || (gate && !gate(unit.Model())))
                         return SSimResult::Error(kUnknownCommand);
                     // Headers outside "LAS:" ("ONDELAY") act on the selected laser channel as well.
                     if (outsideFamily)
                         channel = unit.SelectedIndex(ESimFamily::Laser);
                     CSimLaserBank& bank = unit.Part<CSimLaserBank>();
                     if (channel < 0 || channel >= bank.Count())
                         return SSimResult::Error(kUnknownCommand);
                     bank.SyncTec(unit, channel);
                     return handler(bank.Channel(channel), bank, unit, args);
                 });
}

LaserHandler SetOne(Setter setter)
{
    return [setter](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view args)
    {
        const auto value = Number(args);
        return value ? Status((laser.*setter)(*value)) : SSimResult::Error(ParseError(args, 1));
    };
}

// Limits of LDI and MDI travel as integers ("%d"), truncated toward zero by the program.
LaserHandler SetWhole(Setter setter)
{
    return [setter](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view args)
    {
        const auto value = Number(args);
        return value ? Status((laser.*setter)(std::trunc(*value))) : SSimResult::Error(ParseError(args, 1));
    };
}

LaserHandler GetOne(Getter getter, int decimals)
{
    return [getter, decimals](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view)
    { return Fixed((laser.*getter)(), decimals); };
}

LaserHandler GetLdi(Getter getter)
{
    return [getter](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view)
    { return Fixed((laser.*getter)(), LdiDecimals(laser)); };
}

LaserHandler SetSwitch(int (CSimLaserUnit::*setter)(int))
{
    return [setter](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view args)
    {
        const auto value = Integer(args);
        return value ? Status((laser.*setter)(static_cast<int>(*value))) : SSimResult::Error(kBadParameter);
    };
}

LaserHandler GetInt(int (CSimLaserUnit::*getter)() const)
{
    return [getter](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view)
    { return Int((laser.*getter)()); };
}

struct SModeName
{
    int mode;
    const char* command; // "LAS:MODE:..." suffix
    const char* reply;
};

// Mode 1 answers "ILBW", the low-bandwidth constant-current mode that "ICW" selects.
constexpr SModeName kModes[] = {{1, "ICW", "ILBW"},  {2, "IHBW", "IHBW"},   {3, "PULSE", "PULSE"},
                                {4, "TRIG", "TRIG"}, {5, "BURST", "BURST"}, {6, "MDI", "MDI"},
                                {7, "MDP", "MDP"},   {8, "LDV", "LDV"}};

void AddModesAndOutput(CSimCommandRegistry& r)
{
    for (const SModeName& mode : kModes)
    {
        On(r, std::string("LAS:MODE:") + mode.command,
           [m = mode.mode](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view)
           { return Status(laser.SetMode(m)); });
    }
    On(r, "LAS:MODE?",
       [](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view)
       {
           for (const SModeName& mode : kModes)
           {
               if (mode.mode == laser.GetMode())
                   return SSimResult::Answer(mode.reply);
           }
           return SSimResult::Answer("ILBW");
       });
    On(r, "LAS:OUT",
       [](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view args)
       {
           const auto on = Integer(args);
           if (!on || (*on != 0 && *on != 1))
               return SSimResult::Error(on ? kOutOfRange : kBadParameter);
           return Status(laser.SetOutput(*on == 1));
       });
    On(r, "LAS:OUT?",
       [](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view)
       { return Int(laser.GetOutput() ? 1 : 0); });
}

void AddReadingsAndSetPoints(CSimCommandRegistry& r)
{
    for (const char* header : {"LAS:I?", "LAS:LDI?"})
        On(r, header, GetLdi(&CSimLaserUnit::GetLdi));
    On(r, "LAS:MDI?", GetOne(&CSimLaserUnit::GetMdi, kMdiDecimals));
    On(r, "LAS:MDP?", GetOne(&CSimLaserUnit::GetMdp, kMdpDecimals));
    On(r, "LAS:LDV?", GetOne(&CSimLaserUnit::GetLdv, kLdvDecimals));
    On(r, "LAS:VBULK?", GetOne(&CSimLaserUnit::GetVBulk, kSupplyDecimals));
    On(r, "LAS:VPEAK?", GetOne(&CSimLaserUnit::GetVPeak, kSupplyDecimals));

    On(r, "LAS:LDI", SetOne(&CSimLaserUnit::SetLdi));
    On(r, "LAS:LDV", SetOne(&CSimLaserUnit::SetLdv));
    On(r, "LAS:MDI", SetOne(&CSimLaserUnit::SetMdi));
    On(r, "LAS:MDP", SetOne(&CSimLaserUnit::SetMdp));
    for (const char* header : {"LAS:SET:I?", "LAS:SET:LDI?"})
        On(r, header, GetLdi(&CSimLaserUnit::GetLdiSet));
    On(r, "LAS:SET:LDV?", GetOne(&CSimLaserUnit::GetLdvSet, kLdvDecimals));
    On(r, "LAS:SET:MDI?", GetOne(&CSimLaserUnit::GetMdiSet, kMdiDecimals));
    On(r, "LAS:SET:MDP?", GetOne(&CSimLaserUnit::GetMdpSet, kMdpDecimals));

    On(r, "LAS:LIM:LDI", SetWhole(&CSimLaserUnit::SetLdiLimit));
    On(r, "LAS:LIM:MDI", SetWhole(&CSimLaserUnit::SetMdiLimit));
    On(r, "LAS:LIM:LDV", SetOne(&CSimLaserUnit::SetLdvLimit));
    On(r, "LAS:LIM:MDP", SetOne(&CSimLaserUnit::SetMdpLimit));
    On(r, "LAS:LIM:LDI?", GetLdi(&CSimLaserUnit::GetLdiLimit));
    On(r, "LAS:LIM:MDI?", GetOne(&CSimLaserUnit::GetMdiLimit, kMdiDecimals));
    On(r, "LAS:LIM:MDP?", GetOne(&CSimLaserUnit::GetMdpLimit, kMdpDecimals));
    On(r, "LAS:LIM:LDV?",
       [](CSimLaserUnit& laser, CSimLaserBank& bank, CSimUnit&, std::string_view)
       { return Fixed(laser.GetLdvLimit(), bank.extendedResolution ? kLdvExtendedDecimals : kLdvDecimals); });
}

void AddSettings(CSimCommandRegistry& r)
{
    On(r, "ONDELAY", SetSwitch(&CSimLaserUnit::SetOnDelay));
    On(r, "ONDELAY?", GetInt(&CSimLaserUnit::GetOnDelay));
    On(r, "LAS:CALMD", SetOne(&CSimLaserUnit::SetCalMd));
    On(r, "LAS:CALMD?", GetOne(&CSimLaserUnit::GetCalMd, 3));
    On(r, "LAS:PDBIAS", SetOne(&CSimLaserUnit::SetPdBias));
    On(r, "LAS:PDBIAS?", GetOne(&CSimLaserUnit::GetPdBias, 3));
    On(r, "LAS:CABLER", SetOne(&CSimLaserUnit::SetCableR), HasCableR);
    On(r, "LAS:CABLER?", GetOne(&CSimLaserUnit::GetCableR, 3), HasCableR);
    On(r, "LAS:VSENSE", SetSwitch(&CSimLaserUnit::SetVSense));
    On(r, "LAS:VSENSE?", GetInt(&CSimLaserUnit::GetVSense));
    On(r, "LAS:TOL",
       [](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view args)
       {
           const auto tol = Numbers(args, 2); // current [mA], time [s]
           return tol ? Status(laser.SetTolerance((*tol)[0], (*tol)[1]))
                      : SSimResult::Error(ParseError(args, 2));
       });
    On(r, "LAS:TOL?",
       [](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view) {
           return List({laser.GetToleranceMa(), laser.GetToleranceS()}, {2, 1});
       });
    On(r, "LAS:RANGE", SetSwitch(&CSimLaserUnit::SetRange), HasRanges);
    On(r, "LAS:RANGE?", GetInt(&CSimLaserUnit::GetRange), HasRanges);

    simstatus::AddStatusCommands("LAS",
                                 [&r](const std::string& header, simstatus::StatusHandler handler)
                                 {
                                     On(r, header,
                                        [handler = std::move(handler)](CSimLaserUnit& laser, CSimLaserBank&,
                                                                       CSimUnit&, std::string_view args)
                                        { return handler(laser, args); });
                                 });
}

void AddPulseTiming(CSimCommandRegistry& r)
{
    On(r, "LAS:F", SetOne(&CSimLaserUnit::SetFrequency), HasPulseTiming);
    On(r, "LAS:F?", GetOne(&CSimLaserUnit::GetFrequency, 1), HasPulseTiming);
    On(r, "LAS:PWF", SetOne(&CSimLaserUnit::SetWidthHoldFrequency), HasPulseTiming);
    On(r, "LAS:PWP", SetOne(&CSimLaserUnit::SetWidthHoldDuty), HasPulseTiming);
    On(r, "LAS:PW?", GetOne(&CSimLaserUnit::GetWidth, 3), HasPulseTiming);
    On(r, "LAS:DC", SetOne(&CSimLaserUnit::SetDutyCycle), HasPulseTiming);
    On(r, "LAS:DC?", GetOne(&CSimLaserUnit::GetDutyCycle, 1), HasPulseTiming);
    On(r, "LAS:DELAYIN", SetOne(&CSimLaserUnit::SetDelayIn), HasPulseTiming);
    On(r, "LAS:DELAYIN?", GetOne(&CSimLaserUnit::GetDelayIn, 6), HasPulseTiming);
    On(r, "LAS:DELAYOUT", SetOne(&CSimLaserUnit::SetDelayOut), HasPulseTiming);
    On(r, "LAS:DELAYOUT?", GetOne(&CSimLaserUnit::GetDelayOut, 6), HasPulseTiming);
    On(r, "LAS:QCWCOUNT", SetSwitch(&CSimLaserUnit::SetQcwCount), HasPulseTiming);
    On(r, "LAS:QCWCOUNT?", GetInt(&CSimLaserUnit::GetQcwCount), HasPulseTiming);
    On(r, "LAS:QCWHOLD", SetSwitch(&CSimLaserUnit::SetQcwHold), HasPulseTiming);
    On(r, "LAS:QCWHOLD?", GetInt(&CSimLaserUnit::GetQcwHold), HasPulseTiming);
    // The stored bounds of pulse width [ms], duty cycle [%], frequency [Hz], delay in and out [s].
    On(
        r, "LAS:QCWMIN?",
        [](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view)
        {
            const CSimLaserUnit::SPulseBounds& b = laser.GetPulseBounds();
            return List({b.minWidthMs, b.minDutyPct, b.minFreqHz, b.minDelayS, b.minDelayS}, {3, 1, 1, 6, 6});
        },
        HasPulseTiming);
    On(
        r, "LAS:QCWMAX?",
        [](CSimLaserUnit& laser, CSimLaserBank&, CSimUnit&, std::string_view)
        {
            const CSimLaserUnit::SPulseBounds& b = laser.GetPulseBounds();
            return List({b.maxWidthMs, b.maxDutyPct, b.maxFreqHz, b.maxDelayS, b.maxDelayS}, {3, 1, 1, 6, 6});
        },
        HasPulseTiming);
    On(r, "LAS:QCWLOW", SetOne(&CSimLaserUnit::SetQcwLow), HasQcw);
    On(r, "LAS:QCWLOW?", GetLdi(&CSimLaserUnit::GetQcwLow), HasQcw);
    On(r, "LAS:CAL:QCWLOWMODE", SetSwitch(&CSimLaserUnit::SetQcwLowMode), HasQcw);
    On(r, "LAS:CAL:QCWLOWMODE?", GetInt(&CSimLaserUnit::GetQcwLowMode), HasQcw);
}

// Factory calibration: a step command ("LAS:CAL:LDX", "LAS:CAL:VBULK 1") and its query, answered with
// the step the calibration is at.
void AddCalibrationStep(CSimCommandRegistry& r, const std::string& header, Gate gate = nullptr)
{
    On(
        r, header,
        [header](CSimLaserUnit&, CSimLaserBank&, CSimUnit& unit, std::string_view args)
        {
            const auto step =
                simtext::Trim(args).empty() ? std::optional<long long>(1) : simtext::ToInt(args);
            if (!step)
                return SSimResult::Error(kBadParameter);
            unit.Part<CSimCalibration>().Start(header, static_cast<int>(*step));
            return SSimResult::Done();
        },
        gate);
    On(
        r, header + "?",
        [header](CSimLaserUnit&, CSimLaserBank&, CSimUnit& unit, std::string_view)
        { return Int(unit.Part<CSimCalibration>().StepOf(header)); },
        gate);
}

// A reference value the factory tool enters ("LAS:CAL:R 10.0", "LAS:VBULK 11.98").
void AddCalibrationValue(CSimCommandRegistry& r, const std::string& header, bool withQuery)
{
    On(r, header,
       [header](CSimLaserUnit&, CSimLaserBank&, CSimUnit& unit, std::string_view args)
       {
           const auto value = Number(args);
           if (!value)
               return SSimResult::Error(ParseError(args, 1));
           unit.Part<CSimCalibration>().SetValue(header, *value);
           return SSimResult::Done();
       });
    if (withQuery)
        On(r, header + "?",
           [header](CSimLaserUnit&, CSimLaserBank&, CSimUnit& unit, std::string_view)
           { return Fixed(unit.Part<CSimCalibration>().ValueOf(header), 4); });
}

void AddFactory(CSimCommandRegistry& r)
{
    for (const char* name :
         {"LDX", "MDX", "LVX", "ILIM", "VLIM", "PS", "VBULK", "VPEAK", "AUX", "AUXMDI", "AUXLDV"})
        AddCalibrationStep(r, std::string("LAS:CAL:") + name);
    AddCalibrationStep(r, "LAS:CAL:QCWLOW", HasQcw);
    AddCalibrationValue(r, "LAS:CAL:R", true);
    AddCalibrationValue(r, "LAS:VBULK", false);
    AddCalibrationValue(r, "LAS:VPEAK", false);
    On(r, "LAS:CAL:CANCEL",
       [](CSimLaserUnit&, CSimLaserBank&, CSimUnit& unit, std::string_view) {
           return unit.Part<CSimCalibration>().Cancel() ? SSimResult::Error(kErrCalCancel)
                                                        : SSimResult::Done();
       });
    // "dac channel,word": a raw DAC word written by factory tools (lamp supplies use it as well).
    r.Add("DAC",
          [](CSimUnit& unit, int, std::string_view args)
          {
              if (unit.Model().laserChannels == 0 && unit.Model().lpsChannels == 0)
                  return SSimResult::Error(kUnknownCommand);
              const auto fields = Numbers(args, 2);
              if (!fields)
                  return SSimResult::Error(ParseError(args, 2));
              const double word = (*fields)[1];
              if ((*fields)[0] < 0 || word < 0 || word > 4095 || word != std::trunc(word))
                  return SSimResult::Error(kOutOfRange);
              unit.Part<CSimCalibration>().SetValue("DAC " + simtext::Fixed((*fields)[0], 0), word);
              return SSimResult::Done();
          });
    On(r, "SETEXTENDEDRES",
       [](CSimLaserUnit&, CSimLaserBank& bank, CSimUnit&, std::string_view args)
       {
           const auto on = Integer(args);
           if (!on || (*on != 0 && *on != 1))
               return SSimResult::Error(on ? kOutOfRange : kBadParameter);
           bank.extendedResolution = *on == 1;
           return SSimResult::Done();
       });
}
} // namespace

void CSimLaserCommands::Register(CSimCommandRegistry& registry)
{
    AddModesAndOutput(registry);
    AddReadingsAndSetPoints(registry);
    AddSettings(registry);
    AddPulseTiming(registry);
    AddFactory(registry);
    registry.AddTicker(
        [](CSimUnit& unit, double dt)
        {
            if (unit.Model().laserChannels > 0)
                unit.Part<CSimLaserBank>().Tick(unit, dt);
        });
}

void RegisterLaserCommands(CSimCommandRegistry& registry)
{
    CSimLaserCommands::Register(registry);
}
