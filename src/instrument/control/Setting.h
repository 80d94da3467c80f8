#pragma once

#include <optional>
#include <string>
#include <vector>

// One setting request ("tec.t" 25, from the command line, a broker or a script), checked for form only; the
// channel classes check the range.
struct SSetting
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

    // A number as people type it ("+25", "1e-3"), in the "C" notation; nullopt unless all of it is one
    // finite number.
    static std::optional<double> ParseNumber(const std::string& text);

    std::string name; // "tec.t", "las.mode", ...
    Family family = Family::Tec;
    Kind kind = Kind::Number;
    double number = 0.0;
    int code = 0;
};

// nullopt with a message in error for an unknown name or a value of the wrong form.
std::optional<SSetting> ParseSetting(const std::string& name, const std::string& value, std::string& error);
// The names "set" accepts, with their value forms, one per line.
std::string SettingHelp();
