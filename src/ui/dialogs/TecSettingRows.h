#pragma once

#include "ui/dialogs/SettingRow.h"

#include <array>
#include <cstdint>
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

// Powers of ten between the constants and the mantissas the edits hold, from ThermA on.
constexpr std::array<double, 11> ConstantScale = {1e3, 1e4, 1e7, 1e3, 1e6, 1e12, 1.0, 1.0, 1.0, 1.0, 1.0};

const std::vector<SSettingRow<CTEC>>& Rows();
} // namespace TecSettingRows
