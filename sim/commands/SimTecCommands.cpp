#include "commands/SimTecCommands.h"

#include "SimCommandRegistry.h"
#include "SimText.h"
#include "commands/SimArgs.h"
#include "commands/SimStatusCommands.h"
#include "commands/SimTecBank.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

using namespace simargs;

namespace
{
// The power of ten between a constant on the wire and the mantissa the sensor keeps.
double ConstantScale(long long set, size_t index)
{
    static const double thermistor[] = {1e3, 1e4, 1e7};
    static const double rtd[] = {1e3, 1e6, 1e12, 1.0};
    if (set == CSimSensor::ThermistorSet && index < 3)
        return thermistor[index];
    if (set == CSimSensor::RtdSet && index < 4)
        return rtd[index];
    return 1.0;
}

// Plain decimals with at least seven significant digits, as the unit prints its constants.
std::string PlainConstant(double value)
{
    int decimals = 6;
    if (value != 0.0 && std::isfinite(value))
        decimals = std::max(6, 6 - static_cast<int>(std::floor(std::log10(std::fabs(value)))));
    return simtext::Fixed(value, decimals);
}

// Decimals of the unit's replies per quantity; the program takes its display precision from them.
constexpr int kTDecimals = 3;   // [°C]
constexpr int kIteDecimals = 3; // [A]
constexpr int kVDecimals = 3;   // [V]
constexpr int kPidDecimals = 4;

using TecHandler = std::function<SSimResult(CSimTecUnit& tec, CSimUnit& unit, std::string_view args)>;

int RDecimals(const CSimTecUnit& tec, int type)
{
    if (tec.GetConfig().thermistorInOhms && CSimSensor::ConstSetOf(type) == CSimSensor::ThermistorSet)
        return 1; // [Ω]
    switch (CSimSensor::ConstSetOf(type))
    {
    case CSimSensor::ThermistorSet:
        return 4; // [kΩ]
    case CSimSensor::RtdSet:
        return 3; // [Ω]
    case CSimSensor::AD590Set:
        return 2; // [µA]
    default:
        return 1; // [mV]
    }
}

// Registers a handler that runs against the selected TEC channel; units without TEC channels do not
// know the command.
void On(CSimCommandRegistry& registry, const std::string& header, TecHandler handler,
        bool (*gate)(const SSimModel&) = nullptr)
{
    registry.Add(header,
                 [handler = std::move(handler), gate](CSimUnit& unit, int channel, std::string_view args)
                 {
                     if (unit.Model().tecChannels == 0 || (gate && !gate(unit.Model())))
                         return SSimResult::Error(kUnknownCommand);
                     CSimTecBank& bank = unit.Part<CSimTecBank>();
                     if (channel < 0 || channel >= bank.Count())
                         return SSimResult::Error(kUnknownCommand);
                     return handler(bank.Channel(channel), unit, args);
                 });
}

// An optional one-based sensor number: empty means the active sensor (-1); nullopt when malformed or
// beyond the unit's inputs.
std::optional<int> SensorArg(const CSimTecUnit& tec, std::string_view args)
{
    if (simtext::Trim(args).empty())
        return -1;
    const auto number = simtext::ToInt(args);
    if (!number || *number < 1 || *number > tec.GetSensorCount())
        return std::nullopt;
    return static_cast<int>(*number - 1);
}

// A value setter taking one number: parse, then hand to the unit (0 or the error it queues).
TecHandler SetOne(int (CSimTecUnit::*setter)(double))
{
    return [setter](CSimTecUnit& tec, CSimUnit&, std::string_view args)
    {
        const auto value = Number(args);
        return value ? Status((tec.*setter)(*value)) : SSimResult::Error(ParseError(args, 1));
    };
}

TecHandler GetOne(double (CSimTecUnit::*getter)() const, int decimals)
{
    return [getter, decimals](CSimTecUnit& tec, CSimUnit&, std::string_view)
    { return Fixed((tec.*getter)(), decimals); };
}

bool HasFan(const SSimModel& m)
{
    return m.fan;
}
bool HasHeatCool(const SSimModel& m)
{
    return m.heatCool;
}
bool HasAutoTune(const SSimModel& m)
{
    return m.autoTune;
}
bool HasAnalog(const SSimModel& m)
{
    return m.analog;
}
bool HasCableR(const SSimModel& m)
{
    return m.cableR;
}
// Units with several sensor inputs keep per-sensor constants and take them by command.
bool HasSensorConstants(const SSimModel& m)
{
    return m.sensorCount > 1;
}

const char* ModeName(int mode)
{
    switch (mode)
    {
    case CSimTecUnit::ModeT:
        return "T";
    case CSimTecUnit::ModeR:
        return "R";
    default:
        return "ITE";
    }
}

void AddModeAndOutput(CSimCommandRegistry& r)
{
    On(r, "TEC:MODE:T",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view) { return Status(tec.SetMode(CSimTecUnit::ModeT)); });
    On(r, "TEC:MODE:R",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view) { return Status(tec.SetMode(CSimTecUnit::ModeR)); });
    On(r, "TEC:MODE:ITE",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view)
       { return Status(tec.SetMode(CSimTecUnit::ModeITE)); });
    On(r, "TEC:MODE?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view)
       { return SSimResult::Answer(ModeName(tec.GetMode())); });
    On(r, "TEC:OUT",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           const auto on = Integer(args);
           if (!on || (*on != 0 && *on != 1))
               return SSimResult::Error(on ? kOutOfRange : kBadParameter);
           return Status(tec.SetOutput(*on == 1));
       });
    On(r, "TEC:OUT?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view) { return Int(tec.GetOutput() ? 1 : 0); });
}

void AddReadings(CSimCommandRegistry& r)
{
    On(r, "TEC:T?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           const auto sensor = SensorArg(tec, args);
           return sensor ? Fixed(tec.GetTemperature(*sensor), kTDecimals) : SSimResult::Error(kOutOfRange);
       });
    On(r, "TEC:R?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           const auto sensor = SensorArg(tec, args);
           if (!sensor)
               return SSimResult::Error(kOutOfRange);
           return Fixed(tec.GetSensorValue(*sensor), RDecimals(tec, tec.GetSensorType(*sensor)));
       });
    On(r, "TEC:ITE?", GetOne(&CSimTecUnit::GetCurrent, kIteDecimals));
    On(r, "TEC:V?", GetOne(&CSimTecUnit::GetVoltage, kVDecimals));
    On(r, "TEC:ACTIVESEN?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view) { return Int(tec.GetActiveSensor() + 1); });
    On(r, "TEC:ACTIVESEN",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           const auto number = Integer(args);
           return number ? Status(tec.SetActiveSensor(static_cast<int>(*number) - 1))
                         : SSimResult::Error(kBadParameter);
       });
    simstatus::AddStatusCommands(
        "TEC",
        [&r](const std::string& header, simstatus::StatusHandler handler)
        {
            On(r, header,
               [handler = std::move(handler)](CSimTecUnit& tec, CSimUnit&, std::string_view args)
               { return handler(tec, args); });
        });
}

void AddSetPointsAndLimits(CSimCommandRegistry& r)
{
    On(r, "TEC:T", SetOne(&CSimTecUnit::SetTSetPoint));
    On(r, "TEC:R", SetOne(&CSimTecUnit::SetRSetPoint));
    On(r, "TEC:ITE", SetOne(&CSimTecUnit::SetIteSetPoint));
    On(r, "TEC:SET:T?", GetOne(&CSimTecUnit::GetTSetPoint, kTDecimals));
    On(r, "TEC:SET:R?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view)
       { return Fixed(tec.GetRSetPoint(), RDecimals(tec, tec.GetSensorType(-1))); });
    On(r, "TEC:SET:ITE?", GetOne(&CSimTecUnit::GetIteSetPoint, kIteDecimals));
    On(r, "TEC:LIM:ITE", SetOne(&CSimTecUnit::SetIteLimit));
    On(r, "TEC:LIM:ITE?", GetOne(&CSimTecUnit::GetIteLimit, kIteDecimals));
    On(r, "TEC:LIM:RLO", SetOne(&CSimTecUnit::SetRLowLimit));
    On(r, "TEC:LIM:RHI", SetOne(&CSimTecUnit::SetRHighLimit));
    On(r, "TEC:LIM:RLO?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view)
       { return Fixed(tec.GetRLowLimit(), RDecimals(tec, tec.GetSensorType(-1))); });
    On(r, "TEC:LIM:RHI?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view)
       { return Fixed(tec.GetRHighLimit(), RDecimals(tec, tec.GetSensorType(-1))); });

    // T limits take an optional one-based sensor after the value: "TEC:LIM:TLO 5.0,2".
    const auto setTLimit = [](int (CSimTecUnit::*setter)(double, int))
    {
        return [setter](CSimTecUnit& tec, CSimUnit&, std::string_view args)
        {
            const auto fields = simtext::SplitArgs(args);
            if (fields.empty() || fields.size() > 2)
                return SSimResult::Error(kWrongCount);
            const auto value = simtext::ToDouble(fields[0]);
            const auto sensor = SensorArg(tec, fields.size() == 2 ? fields[1] : std::string_view{});
            if (!value)
                return SSimResult::Error(kBadParameter);
            return sensor ? Status((tec.*setter)(*value, *sensor)) : SSimResult::Error(kOutOfRange);
        };
    };
    const auto getTLimit = [](double (CSimTecUnit::*getter)(int) const)
    {
        return [getter](CSimTecUnit& tec, CSimUnit&, std::string_view args)
        {
            const auto sensor = SensorArg(tec, args);
            return sensor ? Fixed((tec.*getter)(*sensor), kTDecimals) : SSimResult::Error(kOutOfRange);
        };
    };
    On(r, "TEC:LIM:TLO", setTLimit(&CSimTecUnit::SetTLowLimit));
    On(r, "TEC:LIM:THI", setTLimit(&CSimTecUnit::SetTHighLimit));
    On(r, "TEC:LIM:TLO?", getTLimit(&CSimTecUnit::GetTLowLimit));
    On(r, "TEC:LIM:THI?", getTLimit(&CSimTecUnit::GetTHighLimit));
}

void AddSensors(CSimCommandRegistry& r)
{
    On(r, "TEC:SENS?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           const auto sensor = SensorArg(tec, args);
           return sensor ? Int(tec.GetSensorType(*sensor)) : SSimResult::Error(kOutOfRange);
       });
    On(r, "TEC:SENS",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           const auto fields = simtext::SplitArgs(args); // code[, sensor]
           if (fields.empty() || fields.size() > 2)
               return SSimResult::Error(kWrongCount);
           const auto code = simtext::ToInt(fields[0]);
           const auto sensor = SensorArg(tec, fields.size() == 2 ? fields[1] : std::string_view{});
           if (!code)
               return SSimResult::Error(kBadParameter);
           return sensor ? Status(tec.SetSensorType(static_cast<int>(*code), *sensor))
                         : SSimResult::Error(kOutOfRange);
       });
    // "TEC:CONSTIDX sensor,set,values..." and "TEC:CONSTIDX? sensor,set": set 1 thermistor (A, B, C),
    // 3 LM335 and 4 AD590 (slope, offset), 5 RTD (A, B, C, R0). The wire carries the constants themselves
    // (a thermistor C near 1e-7), the sensor keeps the mantissas of the settings page.
    On(
        r, "TEC:CONSTIDX",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
        {
            const auto fields = simtext::SplitArgs(args);
            if (fields.size() < 3)
                return SSimResult::Error(kWrongCount);
            const auto sensor = SensorArg(tec, fields[0]);
            const auto set = simtext::ToInt(fields[1]);
            std::vector<double> values;
            for (size_t i = 2; i < fields.size(); ++i)
            {
                const auto value = simtext::ToDouble(fields[i]);
                if (!value)
                    return SSimResult::Error(kBadParameter);
                values.push_back(*value * ConstantScale(set.value_or(0), i - 2));
            }
            if (!sensor || !set || simtext::Trim(fields[0]).empty())
                return SSimResult::Error(kOutOfRange);
            return Status(tec.SetConstants(*sensor, static_cast<int>(*set), values));
        },
        HasSensorConstants);
    On(
        r, "TEC:CONSTIDX?",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
        {
            const auto fields = simtext::SplitArgs(args);
            if (fields.size() != 2)
                return SSimResult::Error(kWrongCount);
            const auto sensor = SensorArg(tec, fields[0]);
            const auto set = simtext::ToInt(fields[1]);
            std::vector<double> values;
            if (!sensor || !set || simtext::Trim(fields[0]).empty() ||
                !tec.GetConstants(*sensor, static_cast<int>(*set), values))
                return SSimResult::Error(kOutOfRange);
            std::string reply;
            for (size_t i = 0; i < values.size(); ++i)
                reply += (i == 0 ? "" : ", ") + PlainConstant(values[i] / ConstantScale(*set, i));
            return SSimResult::Answer(reply);
        },
        HasSensorConstants);
}

void AddLoopSettings(CSimCommandRegistry& r)
{
    On(r, "TEC:GAIN",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           if (simtext::Upper(simtext::Trim(args)) == "PID")
               return Status(tec.SetGain(0));
           // A number must be one of the fixed gains; PID is chosen by name only.
           const auto gain = simtext::ToInt(args);
           if (!gain)
               return SSimResult::Error(kBadParameter);
           return *gain < 1 ? SSimResult::Error(kOutOfRange) : Status(tec.SetGain(static_cast<int>(*gain)));
       });
    On(r, "TEC:GAIN?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view)
       { return tec.GetGain() == 0 ? SSimResult::Answer("PID") : Int(tec.GetGain()); });
    On(r, "TEC:PID",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           const auto pid = Numbers(args, 3);
           return pid ? Status(tec.SetPid((*pid)[0], (*pid)[1], (*pid)[2]))
                      : SSimResult::Error(ParseError(args, 3));
       });
    On(r, "TEC:PID?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view) {
           return List({tec.GetPid().p, tec.GetPid().i, tec.GetPid().d}, {kPidDecimals});
       });
    On(r, "TEC:TOL",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
       {
           const auto tol = Numbers(args, 2); // temperature [°C], time [s]
           return tol ? Status(tec.SetTolerance((*tol)[0], (*tol)[1]))
                      : SSimResult::Error(ParseError(args, 2));
       });
    On(r, "TEC:TOL?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view) {
           return List({tec.GetToleranceC(), tec.GetToleranceS()}, {3, 1});
       });
    On(r, "TEC:CABLER", SetOne(&CSimTecUnit::SetCableR), HasCableR);
    On(r, "TEC:CABLER?", GetOne(&CSimTecUnit::GetCableR, 3), HasCableR);
}

void AddOptions(CSimCommandRegistry& r)
{
    static const char* const kHeatCool[] = {"BOTH", "HEAT", "COOL"};
    On(
        r, "TEC:HEATCOOL",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
        {
            const std::string word = simtext::Upper(simtext::Trim(args));
            for (int code = 0; code < 3; ++code)
            {
                if (word == kHeatCool[code])
                    return Status(tec.SetHeatCool(code));
            }
            return SSimResult::Error(kBadParameter);
        },
        HasHeatCool);
    On(
        r, "TEC:HEATCOOL?",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view)
        { return SSimResult::Answer(kHeatCool[tec.GetHeatCool()]); },
        HasHeatCool);

    // "TEC:FAN speed, mode, delay": speed OFF/ON/SLOW/MEDIUM/FAST or a voltage.
    On(
        r, "TEC:FAN",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
        {
            const auto fields = simtext::SplitArgs(args);
            if (fields.size() != 3)
                return SSimResult::Error(kWrongCount);
            const auto mode = simtext::ToInt(fields[1]);
            const auto delay = simtext::ToInt(fields[2]);
            if (!mode || !delay)
                return SSimResult::Error(kBadParameter);
            CSimTecUnit::SFan fan{simtext::Upper(fields[0]), static_cast<int>(*mode),
                                  static_cast<int>(*delay)};
            if (const auto volts = simtext::ToDouble(fields[0]))
                fan.speed = simtext::Fixed(*volts, 1);
            return Status(tec.SetFan(fan));
        },
        HasFan);
    On(
        r, "TEC:FAN?",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view)
        {
            const CSimTecUnit::SFan& fan = tec.GetFan();
            return SSimResult::Answer(fan.speed + ", " + std::to_string(fan.mode) + ", " +
                                      std::to_string(fan.delayMin));
        },
        HasFan);

    // Every TEC unit answers the analog query (its status poll asks it); only fitted ones switch it on.
    On(r, "TEC:ANALOG:ENAB?",
       [](CSimTecUnit& tec, CSimUnit&, std::string_view) { return Int(tec.GetAnalogEnabled() ? 1 : 0); });
    On(
        r, "TEC:ANALOG:ENAB",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
        {
            const auto on = Integer(args);
            if (!on || (*on != 0 && *on != 1))
                return SSimResult::Error(on ? kOutOfRange : kBadParameter);
            tec.SetAnalogEnabled(*on == 1);
            return SSimResult::Done();
        },
        HasAnalog);
    On(
        r, "TEC:ANALOG:SENS",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view args)
        {
            const auto index = Integer(args);
            if (!index)
                return SSimResult::Error(ParseError(args, 1));
            return *index < 0 || *index > 2 ? SSimResult::Error(kOutOfRange)
                                            : Status(tec.SetAnalogSensitivity(static_cast<int>(*index)));
        },
        HasAnalog);
    On(
        r, "TEC:ANALOG:SENS?",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view) { return Int(tec.GetAnalogSensitivity()); },
        HasAnalog);
    On(r, "TEC:ANALOG:TLO", SetOne(&CSimTecUnit::SetAnalogTsetAt0V), HasAnalog);
    On(r, "TEC:ANALOG:TLO?", GetOne(&CSimTecUnit::GetAnalogTsetAt0V, kTDecimals), HasAnalog);
    On(r, "TEC:ANALOG:THI", SetOne(&CSimTecUnit::SetAnalogTsetAt2V5), HasAnalog);
    On(r, "TEC:ANALOG:THI?", GetOne(&CSimTecUnit::GetAnalogTsetAt2V5, kTDecimals), HasAnalog);
}

void AddAutoTune(CSimCommandRegistry& r)
{
    On(r, "TEC:AUTOTUNE", SetOne(&CSimTecUnit::StartAutoTune), HasAutoTune);
    On(
        r, "TEC:AUTOTUNE?",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view) { return Int(tec.GetAutoTuneResult()); },
        HasAutoTune);
    On(
        r, "TEC:AUTOTUNESTATE?",
        [](CSimTecUnit& tec, CSimUnit&, std::string_view) { return Int(tec.GetAutoTuneProgress()); },
        HasAutoTune);
}
} // namespace

void CSimTecCommands::Register(CSimCommandRegistry& registry)
{
    AddModeAndOutput(registry);
    AddReadings(registry);
    AddSetPointsAndLimits(registry);
    AddSensors(registry);
    AddLoopSettings(registry);
    AddOptions(registry);
    AddAutoTune(registry);
    registry.AddTicker(
        [](CSimUnit& unit, double dt)
        {
            if (unit.Model().tecChannels > 0)
                unit.Part<CSimTecBank>().Tick(unit, dt);
        });
}

void RegisterTecCommands(CSimCommandRegistry& registry)
{
    CSimTecCommands::Register(registry);
}
