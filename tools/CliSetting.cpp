#include "CliSetting.h"

#include "CliArgs.h"
#include "instrument/report/ModeNames.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace
{
struct SSettingRow
{
    const char* name;
    SCliSetting::Family family;
    SCliSetting::Kind kind;
    const char* form;
};

using Family = SCliSetting::Family;
using Kind = SCliSetting::Kind;

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

bool ParseValue(const SSettingRow& row, const std::string& value, SCliSetting& setting)
{
    switch (row.kind)
    {
    case Kind::Number:
    {
        const auto number = ParseCliNumber(value);
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

std::optional<SCliSetting> ParseCliSetting(const std::string& name, const std::string& value,
                                           std::string& error)
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
        error = "unknown setting \"" + name + "\"; one of:\n" + CliSettingHelp();
        return std::nullopt;
    }
    SCliSetting setting;
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

std::string CliSettingHelp()
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
