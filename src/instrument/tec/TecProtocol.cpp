#include "instrument/tec/TecProtocol.h"

#include "instrument/tec/TecTypes.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace TecProtocol
{
namespace
{
std::string_view Trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
    {
        return {};
    }
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// from_chars does not take a leading "+", which some firmware prints.
std::string_view SkipPlus(std::string_view text)
{
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
    {
        text.remove_prefix(1);
    }
    return text;
}

std::vector<std::string_view> SplitAtComma(std::string_view text)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true)
    {
        const auto comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos)
        {
            return fields;
        }
        start = comma + 1;
    }
}

std::string AppendCount(const char* part, int n)
{
    return std::string(part) + std::to_string(n) + ";";
}
} // namespace

std::string FormatFixed(double value, int decimals)
{
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc{})
    {
        return "0";
    }
    return std::string(buffer, result.ptr);
}

std::string FormatSignificant(double value)
{
    constexpr int MinDecimals = 6;
    constexpr int Significant = 7;
    if (value == 0.0 || !std::isfinite(value))
        return FormatFixed(value, MinDecimals);
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    return FormatFixed(value, std::max(MinDecimals, Significant - 1 - exponent));
}

std::optional<float> ParseFloat(std::string_view text)
{
    text = SkipPlus(Trim(text));
    float value = 0.0f;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    // "inf" and "nan" read as numbers but no instrument measures them.
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() || text.empty() ||
        !std::isfinite(value))
    {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseInt(std::string_view text)
{
    text = SkipPlus(Trim(text));
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() || text.empty())
    {
        return std::nullopt;
    }
    return value;
}

bool ParseFloatList(std::string_view text, std::span<float> out)
{
    const auto fields = SplitAtComma(text);
    if (fields.size() < out.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        const auto value = ParseFloat(fields[i]);
        if (!value)
        {
            return false;
        }
        out[i] = *value;
    }
    return true;
}

int ParseModeName(std::string_view text)
{
    text = Trim(text);
    if (text == "T")
    {
        return TecModeT;
    }
    if (text == "R")
    {
        return TecModeR;
    }
    if (text == "ITE")
    {
        return TecModeITE;
    }
    return TecModeUnknown;
}

int ParseGain(std::string_view text)
{
    text = Trim(text);
    if (text == "PID")
    {
        return 0;
    }
    return ParseInt(text).value_or(0);
}

int ParseHeatCool(std::string_view text)
{
    text = Trim(text);
    if (text == "HEAT")
    {
        return HeatOnly;
    }
    if (text == "COOL")
    {
        return CoolOnly;
    }
    return HeatCoolBoth;
}

std::optional<SFanSetting> ParseFan(std::string_view text)
{
    const auto fields = SplitAtComma(text);
    if (fields.size() < 3)
    {
        return std::nullopt;
    }
    SFanSetting fan;
    const std::string_view speed = Trim(fields[0]);
    if (speed == "OFF")
    {
        fan.mode = FanOff;
    }
    else if (speed == "ON")
    {
        fan.mode = FanOn;
    }
    else if (speed == "SLOW")
    {
        fan.mode = FanSlow;
    }
    else if (speed == "MEDIUM")
    {
        fan.mode = FanMedium;
    }
    else if (speed == "FAST")
    {
        fan.mode = FanFast;
    }
    else if (const auto volts = ParseFloat(speed))
    {
        fan.mode = FanVoltage;
        fan.voltage = *volts;
    }
    else
    {
        return std::nullopt;
    }
    const auto first = ParseInt(fields[1]);
    const auto second = ParseInt(fields[2]);
    if (!first || !second)
    {
        return std::nullopt;
    }
    // The setter sends the first parameter one-based; give it back the way the caller passed it,
    // so that reading and writing the setting back leaves it unchanged.
    fan.first = *first - 1;
    fan.second = *second;
    return fan;
}

std::string FormatFan(int mode, float voltage, int first, int second)
{
    std::string speed;
    switch (mode)
    {
    case FanSlow:
        speed = "SLOW";
        break;
    case FanMedium:
        speed = "MEDIUM";
        break;
    case FanFast:
        speed = "FAST";
        break;
    case FanVoltage:
        speed = FormatFixed(voltage, 1);
        break;
    case FanOn:
        speed = "ON";
        break;
    default:
        speed = "OFF";
        break;
    }
    return "TEC:FAN " + speed + ", " + std::to_string(first + 1) + ", " + std::to_string(second) + "\n";
}

std::array<int, 3> ParseVersionNumbers(std::string_view text)
{
    text = Trim(text);
    if (!text.empty() && (text.front() == 'v' || text.front() == 'V'))
    {
        text.remove_prefix(1);
    }
    std::array<int, 3> numbers{};
    const char* position = text.data();
    const char* const end = text.data() + text.size();
    for (int& number : numbers)
    {
        const auto result = std::from_chars(position, end, number);
        if (result.ec != std::errc{})
        {
            break;
        }
        position = result.ptr;
        if (position == end || *position != '.')
        {
            break;
        }
        ++position;
    }
    return numbers;
}

std::vector<std::string> StatusQueryParts(uint32_t flags, int sensorCount)
{
    std::vector<std::string> parts{":TEC:CHAN?;"};
    if (flags & TecPollITE)
    {
        parts.emplace_back("ITE?;");
    }
    if ((flags & TecPollR) && sensorCount == 1)
    {
        parts.emplace_back("R?;");
    }
    if ((flags & TecPollT) && sensorCount == 1)
    {
        parts.emplace_back("T?;");
    }
    if (flags & TecPollITESet)
    {
        parts.emplace_back("SET:ITE?;");
    }
    if (flags & TecPollRSet)
    {
        parts.emplace_back("SET:R?;");
    }
    if (flags & TecPollTSet)
    {
        parts.emplace_back("SET:T?;");
    }
    return parts;
}

std::vector<std::string> SensorQueryParts(uint32_t flags, int sensorCount)
{
    if (!(flags & (TecPollR | TecPollT)) || sensorCount <= 1)
    {
        return {};
    }
    std::vector<std::string> parts{":TEC:CHAN?;", ":TEC:ACTIVESEN?;"};
    if (flags & TecPollR)
    {
        for (int sensor = 1; sensor <= sensorCount; ++sensor)
        {
            parts.push_back(AppendCount("R? ", sensor));
        }
    }
    if (flags & TecPollT)
    {
        for (int sensor = 1; sensor <= sensorCount; ++sensor)
        {
            parts.push_back(AppendCount("T? ", sensor));
        }
    }
    return parts;
}

std::vector<std::string> OutputQueryParts(uint32_t flags)
{
    std::vector<std::string> parts{":TEC:CHAN?;"};
    if (flags & TecPollV)
    {
        parts.emplace_back(":TEC:V?;");
    }
    if (flags & TecPollOutput)
    {
        parts.emplace_back(":TEC:OUT?;");
    }
    if (flags & TecPollCondition)
    {
        parts.emplace_back(":TEC:COND?;");
    }
    if (flags & TecPollAnalog)
    {
        parts.emplace_back(":TEC:ANALOG:ENAB?;");
    }
    if (flags & TecPollMode)
    {
        parts.emplace_back(":TEC:MODE?;");
    }
    return parts;
}
} // namespace TecProtocol
