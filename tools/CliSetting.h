#pragma once

#include <optional>
#include <string>
#include <vector>

// One "set NAME VALUE" request, checked for form only; the channel classes check the range.
struct SCliSetting
{
    enum class Family
    {
        Tec,
        Laser
    };
    enum class Kind
    {
        Number, // a set point in the channel's units
        Mode,   // code holds the TecMode or LaserMode
        Output  // code holds 1 for on, 0 for off
    };

    std::string name; // "tec.t", "las.mode", ...
    Family family = Family::Tec;
    Kind kind = Kind::Number;
    double number = 0.0;
    int code = 0;
};

// nullopt with a message in error for an unknown name or a value of the wrong form.
std::optional<SCliSetting> ParseCliSetting(const std::string& name, const std::string& value,
                                           std::string& error);
// The names "set" accepts, with their value forms, one per line.
std::string CliSettingHelp();
