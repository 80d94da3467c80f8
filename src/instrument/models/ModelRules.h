#pragma once

#include <cstdint>
#include <string_view>

class CInstrBase;

// What the single-channel model classes share: their firmware gates as pure functions (so that the
// rules can be checked without a unit), the factory lines they send, and the probe that tells what
// a unit's firmware offers.
namespace ModelRules
{
// Factory DAC set-up of the single-channel laser drivers (full scale 1023 on DACs 2 to 4).
inline constexpr std::string_view FactoryDacLine1 = "dac 2,1023;dac 3,1023\r\n";
inline constexpr std::string_view FactoryDacLine2 = "dac 4,1023\r\n";

// BURST came with build 62 of the single-channel laser firmware.
inline constexpr int BurstFirstBuild = 62;
// Builds up to 330 of the multi-sensor TEC firmware read LM335 sensors only up to 4250 mV.
inline constexpr int Lm335NarrowLastBuild = 330;
inline constexpr double Lm335NarrowMaxR = 4250.0; // [mV]
inline constexpr double Lm335WideMaxR = 4730.0;   // [mV]
// AutoTune of the single-sensor TEC firmware came with version x.4, build 54.
inline constexpr int K910AutoTuneMinor = 4;
inline constexpr int K910AutoTuneFirstBuild = 54;

// Continuous, photodiode-feedback and voltage modes: what every laser driver can run.
bool IsContinuousMode(int mode);
// A pulse-capable driver adds PULSE and TRIG, and BURST from build 62.
bool IsPulseDriverModeSupported(int mode, bool pulseCapable, int buildNumber);
// The LM335 maximum sensor value of the multi-sensor TEC firmware [mV].
double Lm335MaxR(int buildNumber);
// AutoTune of the single-sensor TEC firmware: version x.4 from build 54.
bool IsK910AutoTuneSupported(int versionMinor, int buildNumber);

// Asks query followed by the error check; true when the unit answered it without an error. A probe
// is the program's own question, so its refusal is consumed here and never reaches the error list.
bool UnitAnswers(CInstrBase& unit, std::string_view query);
} // namespace ModelRules
