#pragma once

#include "instrument/tec/TecTypes.h"
#include "ui/dialogs/SettingRow.h"
#include "ui/widgets/OutputOffBoxes.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class CTEC;

// The TEC settings page described once: its settings keys (a model's IsSettingHidden takes a group
// away), its write-order groups and one row per edit.
namespace TecSettingRows
{
constexpr uint32_t KeyConditions = 0xF0001110;
constexpr uint32_t KeyTLimits = 0xF0001040;
constexpr uint32_t KeyTLimitsIndependent = 0xF0001008;
constexpr uint32_t KeyRLimits = 0xF0001080;
constexpr uint32_t KeyRLimitsIndependent = 0xF0001010;
constexpr uint32_t KeyIteLimit = 0xF0001020;
constexpr uint32_t KeyIteLimitIndependent = 0xF0001004;
constexpr uint32_t KeyTolerance = 0xF0000010;
constexpr uint32_t KeyCableR = 0xF0001220;
constexpr uint32_t KeyHeatCool = 0xF0001180;
constexpr uint32_t KeyGain = 0xF0001140;
constexpr uint32_t KeySensorSelection = 0xF0001304;
constexpr uint32_t KeyConstants = 0xF0001201;
constexpr uint32_t KeyFan = 0xF0001204;
constexpr uint32_t KeyAnalog = 0xF0001101;
// The keys the page asks about, in the order it has always asked.
constexpr std::array<uint32_t, 15> GroupKeys = {KeyConditions,
                                                KeyTLimits,
                                                KeyTLimitsIndependent,
                                                KeyRLimits,
                                                KeyRLimitsIndependent,
                                                KeyIteLimit,
                                                KeyIteLimitIndependent,
                                                KeyTolerance,
                                                KeyCableR,
                                                KeyHeatCool,
                                                KeyGain,
                                                KeySensorSelection,
                                                KeyConstants,
                                                KeyFan,
                                                KeyAnalog};

// The unit without a sensor choice, cable resistance or PID (identification model code 3).
constexpr int ModelWithoutSensorChoice = 3;

// The sensor list's entries in their order, each with the key that takes it away.
struct SSensorEntry
{
    uint32_t key;
    int code;
};
constexpr std::array<SSensorEntry, 7> SensorEntries = {{{0xF0001401, SensorThermistor100uA},
                                                        {0xF0001402, SensorThermistor10uA},
                                                        {0xF0001404, SensorThermistor1mA},
                                                        {0xF0001408, SensorLM335},
                                                        {0xF0001410, SensorAD590},
                                                        {0xF0001420, SensorRTD},
                                                        {0xF0001440, SensorRTD4Wire}}};

// The gain list's codes in their order; "PID" is code 0.
constexpr std::array<int, 9> GainCodes = {1, 3, 5, 10, 30, 50, 100, 300, 0};
constexpr int GainPID = 0;
constexpr int FanSpeedCustom = FanVoltage;
constexpr int FanModeDelay = 2;

// The settings keys this unit hides, with the groups it cannot have (no fan it can drive, no heat/cool
// restriction it keeps); asked in the order the unit has always seen.
std::set<uint32_t> ReadHidden(CTEC& tec);
// What the limits are checked against on OK, read with the page so that OK never waits on the unit:
// the model's bounds and, where a limit may not pass it, the set point.
struct SBounds
{
    float minT = 0, maxT = 0, maxIteLimit = 0;
    float tSet = 0, rSet = 0, iteSet = 0;
};
SBounds ReadBounds(CTEC& tec, const std::set<uint32_t>& hidden);
// The gain list's entries; the fan speed list's, only "Off" and "On" where the unit's fan has no steps.
std::vector<std::pair<QString, int>> GainItems();
std::vector<std::pair<QString, int>> FanSpeedItems(bool onOff);

// The output-off mask's boxes.
const std::vector<COutputOffBoxes::SCondition>& Conditions();

// The order in which OK's writes go out.
enum EWriteGroup
{
    WriteConditions,
    WriteTLimits,
    WriteSensorType,
    WriteRLimits,
    WriteIteLimit,
    WriteTolerance,
    WriteCableR,
    WriteHeatCool,
    WriteGain,
    WriteConstants,
    WriteAnalog,
    WriteFan
};

// The edits, in the order of Rows().
enum EField : size_t
{
    TLow,
    THigh,
    RLow,
    RHigh,
    IteLimit,
    TolTime,
    TolTemp,
    CableR,
    P,
    I,
    D,
    FanVolts,
    FanDelay,
    ThermA,
    ThermB,
    ThermC,
    RtdA,
    RtdB,
    RtdC,
    RtdR0,
    Ad590M,
    Ad590B,
    Lm335M,
    Lm335B,
    AnalogAt0V,
    AnalogAt2V5,
    FieldCount
};

// The values that share one query and one command, in the order of Groups().
enum EGroup : size_t
{
    ToleranceGroup,
    PidGroup,
    ThermistorGroup,
    RtdGroup,
    Ad590Group,
    Lm335Group,
    GroupCount
};

const std::vector<SSettingRow<CTEC>>& Rows();
const std::vector<SSettingGroup<CTEC>>& Groups();

// Sends a pair of limits so that the instrument never holds a low limit above its high limit: when
// the new low is at or above the unit's current low, the high limit moves first. Empty values are the
// ones the user left alone. The name of a refused limit, or nothing.
std::optional<QString> SendLimitPair(CTEC& tec, size_t lowField, std::optional<double> low,
                                     std::optional<double> high);
} // namespace TecSettingRows
