#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Pure formatters and parsers of the TEC command language, apart from any port so that tests call
// them directly. Numbers are read and written with the "C" conventions whatever the process locale.
namespace TecProtocol
{
// Fixed notation with the given number of decimals, as printf's "%.*f" in the "C" locale.
std::string FormatFixed(double value, int decimals);
// Plain decimal notation (never an exponent) with at least six decimals and at least seven significant
// digits: sensor constants such as 9e-8 must reach the instrument intact.
std::string FormatSignificant(double value);

// A decimal number or integer, surrounding blanks allowed; nothing else may follow.
std::optional<float> ParseFloat(std::string_view text);
std::optional<int> ParseInt(std::string_view text);

// Several numbers separated by "," (blanks allowed around them), as "%f, %f" scans them; false
// unless all of out is filled.
bool ParseFloatList(std::string_view text, std::span<float> out);

// "T", "R", "ITE" -> 1, 2, 3; anything else 0.
int ParseModeName(std::string_view text);
// "PID" -> 0, else the integer; 0 when unreadable.
int ParseGain(std::string_view text);
// "BOTH", "HEAT", "COOL" -> 0, 1, 2; anything else 0.
int ParseHeatCool(std::string_view text);

struct SFanSetting
{
    int mode = 0;         // FanMode
    float voltage = 0.0f; // [V], only in voltage mode
    int first = 0;        // zero-based, as the caller passes it to the setter
    int second = 0;
};
// "OFF|ON|SLOW|MEDIUM|FAST|<volts>, <n>, <m>"; nullopt when the reply is not of that form.
std::optional<SFanSetting> ParseFan(std::string_view text);
std::string FormatFan(int mode, float voltage, int first, int second);

// Major, minor and third number of a firmware version text such as "v2.4.9"; 0 where missing.
std::array<int, 3> ParseVersionNumbers(std::string_view text);

// The parts of the three status queries, in the order their answers come back.
std::vector<std::string> StatusQueryParts(uint32_t flags, int sensorCount);
// Empty when no multi-sensor query is due.
std::vector<std::string> SensorQueryParts(uint32_t flags, int sensorCount);
std::vector<std::string> OutputQueryParts(uint32_t flags);
} // namespace TecProtocol
