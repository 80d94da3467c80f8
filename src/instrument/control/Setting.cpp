#include "instrument/control/Setting.h"

#include "instrument/report/ModeNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace
{
struct SSettingRow
{
    const char* name;
    SSetting::Family family;
    SSetting::Kind kind;
    const char* form;
};

using Family = SSetting::Family;
using Kind = SSetting::Kind;

constexpr std::array<SSettingRow, 11> kSettings{{
    {"tec.t", Family::Tec, Kind::Number, "temperature set point [°C]"},
    {"tec.r", Family::Tec, Kind::Number, "resistance set point [sensor units]"},
    {"tec.ite", Family::Tec, Kind::Number, "TEC current set point [A]"},
    {"tec.mode", Family::Tec, Kind::Mode, "T, R or ITE"},
    {"tec.output", Family::Tec, Kind::Output, "on or off"},
    {"las.ldi", Family::Laser, Kind::Number, "laser diode current set point [mA] (lamp supply: current [A])"},
    {"las.ldv", Family::Laser, Kind::Number, "laser diode voltage set point [V] (lamp supply: voltage [V])"},
    {"las.mdi", Family::Laser, Kind::Number, "photodiode current set point [µA]"},
    {"las.mdp", Family::Laser, Kind::Number, "photodiode power set point [mW]"},
    {"las.mode", Family::Laser, Kind::Mode, "ICW, IHBW, PULSE, TRIG, BURST, MDI, MDP or LDV"},
    {"las.output", Family::Laser, Kind::Output, "on or off"},
}};

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::optional<int> ParseOnOff(const std::string& text)
{
    const std::string word = Upper(text);
    if (word == "ON" || word == "1" || word == "TRUE")
        return 1;
    if (word == "OFF" || word == "0" || word == "FALSE")
        return 0;
    return std::nullopt;
}

bool ParseValue(const SSettingRow& row, const std::string& value, SSetting& setting)
{
    switch (row.kind)
    {
    case Kind::Number:
    {
        const auto number = SSetting::ParseNumber(value);
        setting.number = number.value_or(0.0);
        return number.has_value();
    }
    case Kind::Mode:
        setting.code = row.family == Family::Tec ? ModeNames::ParseTec(value) : ModeNames::ParseLaser(value);
        return setting.code != 0;
    case Kind::Output:
    {
        const auto on = ParseOnOff(value);
        setting.code = on.value_or(0);
        return on.has_value();
    }
    }
    return false;
}
} // namespace

std::optional<double> SSetting::ParseNumber(const std::string& text)
{
    // from_chars rejects a leading "+", which people type for set points.
    const size_t start = text.size() > 1 && text[0] == '+' && text[1] != '-' ? 1 : 0;
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data() + start, end, value);
    if (text.size() == start || error != std::errc() || last != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<SSetting> ParseSetting(const std::string& name, const std::string& value, std::string& error)
{
    const std::string wanted = [&name]
    {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return lower;
    }();
    const auto row = std::find_if(kSettings.begin(), kSettings.end(),
                                  [&wanted](const SSettingRow& entry) { return wanted == entry.name; });
    if (row == kSettings.end())
    {
        error = "unknown setting \"" + name + "\"; one of:\n" + SettingHelp();
        return std::nullopt;
    }
    SSetting setting;
    setting.name = row->name;
    setting.family = row->family;
    setting.kind = row->kind;
    if (!ParseValue(*row, value, setting))
    {
        error = "\"" + value + "\" is no value for " + row->name + " (" + row->form + ")";
        return std::nullopt;
    }
    return setting;
}

std::string SettingHelp()
{
    std::string text;
    for (const SSettingRow& row : kSettings)
    {
        std::string left = std::string("  ") + row.name;
        left.resize(14, ' ');
        text += left + row.form + "\n";
    }
    return text;
}
