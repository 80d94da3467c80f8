#pragma once

#include <cstdint>
#include <string>

// Control mode of a TEC channel, as the instrument names it ("T", "R", "ITE").
enum TecMode : int
{
    TecModeUnknown = 0,
    TecModeT = 1,
    TecModeR = 2,
    TecModeITE = 3
};

// Sensor type codes as the instrument reports them ("TEC:SENS?").
enum SensorType : int
{
    SensorThermistor100uA = 1,
    SensorThermistor10uA = 2,
    SensorLM335 = 3,
    SensorAD590 = 4,
    SensorRTD = 5,
    SensorRTD4Wire = 6,
    SensorThermistor1mA = 7
};

// Readings polled by the TEC family; the lower half of the instrument's 64-bit poll selection.
enum TecPollFlags : uint32_t
{
    TecPollITE = 0x1,
    TecPollR = 0x2,
    TecPollT = 0x4,
    TecPollV = 0x8,
    TecPollITESet = 0x10,
    TecPollRSet = 0x20,
    TecPollTSet = 0x40,
    TecPollOutput = 0x80,
    TecPollMode = 0x100,
    TecPollCondition = 0x4000,
    TecPollAnalog = 0x8000,
    // Everything except the analog enable.
    TecPollDefault = 0x41FF
};

// Quantities whose reply precision is recorded (GetPrecision).
enum TecQuantity : int
{
    TecQuantityT = 1,
    TecQuantityR = 2,
    TecQuantityITE = 3,
    TecQuantityV = 4
};

// Cached values of a TEC channel whose freshness the channel tracks (CTEC::IsFresh); T and R are kept
// per sensor.
enum class TecReading : int
{
    T,
    R,
    ITE,
    V,
    ITESet,
    RSet,
    TSet,
    Output,
    Condition,
    Analog,
    Mode
};

// Condition register bits that say the sensor cannot be read.
enum TecCondition : int
{
    TecConditionSensorOpen = 0x40,
    TecConditionSensorShort = 0x400
};

// Resolution of the analog set-point input, as the instrument numbers it ("TEC:ANALOG:SENS").
enum AnalogSensitivity : int
{
    AnalogSensitivity1C = 0,    // 1 °C
    AnalogSensitivity0p1C = 1,  // 0.1 °C
    AnalogSensitivity0p01C = 2, // 0.01 °C
};

enum FanMode : int
{
    FanOff = 0,
    FanSlow = 1,
    FanMedium = 2,
    FanFast = 3,
    FanVoltage = 4,
    FanOn = 5
};

enum HeatCool : int
{
    HeatCoolBoth = 0,
    HeatOnly = 1,
    CoolOnly = 2
};

// Family facts of one sensor type: display name, allowed R range and its unit. Unknown codes have
// an empty name, -1 for both bounds and no unit.
struct SSensorTypeInfo
{
    const char* name;
    double minR;
    double maxR;
    const char* rUnits; // UTF-8
};

SSensorTypeInfo GetSensorTypeInfo(int code);

// Bit of the supported-sensor mask that stands for a sensor type; -1 for codes outside the mask.
int SensorMaskBit(int code);
