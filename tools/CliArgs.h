#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Exit codes of tamrix-cli, so scripts can tell the failures apart.
enum CliExit : int
{
    ExitOk = 0,
    ExitFailure = 1,          // the program could not do it (file not writable, value refused before sending)
    ExitUsage = 2,            // bad command line
    ExitNoInstrument = 3,     // nothing detected, or the connection failed or was lost
    ExitInstrumentErrors = 4, // the instrument reported errors
    ExitUnconfirmed = 5,      // a setting went out, its confirmation was lost and no read-back answered
};

struct SCliOption
{
    std::string name;      // without the leading "--"
    std::string valueName; // empty for a flag
    std::string help;
};

// What one command accepts. Positionals beyond the required ones are optional.
struct SCliCommandSyntax
{
    std::string name;
    std::vector<std::string> positionals;
    size_t requiredPositionals = 0;
    std::vector<SCliOption> options;
    std::string summary;
};

struct SCliInvocation
{
    std::string command;
    std::vector<std::string> positionals;
    std::map<std::string, std::string> options; // flags map to ""
    bool help = false;

    bool Has(const std::string& option) const { return options.count(option) != 0; }
};

// Splits the arguments after the program name. Options start with "--" ("--count 5" or "--count=5");
// "--" ends the options; single-dash words are positionals (negative set points), except "-h".
// An empty command with help set asks for the tool's overview. nullopt with a message in error on
// any usage error.
std::optional<SCliInvocation> ParseCliArgs(std::span<const SCliCommandSyntax> commands,
                                           const std::vector<std::string>& args, std::string& error);

std::string CommandUsage(const SCliCommandSyntax& command);
std::string ToolUsage(std::span<const SCliCommandSyntax> commands);

// Whole numbers and numbers with a "." decimal point, whatever the locale; nullopt unless the whole
// text is one number.
std::optional<int> ParseCliInt(const std::string& text);
std::optional<double> ParseCliNumber(const std::string& text);
