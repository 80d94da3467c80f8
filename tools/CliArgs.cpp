#include "CliArgs.h"

#include "instrument/control/Setting.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace
{
const SCliCommandSyntax* FindCommand(std::span<const SCliCommandSyntax> commands, const std::string& name)
{
    const auto found = std::find_if(commands.begin(), commands.end(),
                                    [&name](const SCliCommandSyntax& syntax) { return syntax.name == name; });
    return found == commands.end() ? nullptr : &*found;
}

const SCliOption* FindOption(const SCliCommandSyntax& command, const std::string& name)
{
    const auto found = std::find_if(command.options.begin(), command.options.end(),
                                    [&name](const SCliOption& option) { return option.name == name; });
    return found == command.options.end() ? nullptr : &*found;
}

// One "--name[=value]" word, taking its value from the next word when needed; false on a usage error.
bool TakeOption(const SCliCommandSyntax& command, const std::vector<std::string>& args, size_t& index,
                SCliInvocation& invocation, std::string& error)
{
    const std::string word = args[index].substr(2);
    const size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    if (name == "help")
    {
        invocation.help = true;
        return true;
    }
    const SCliOption* option = FindOption(command, name);
    if (!option)
    {
        error = command.name + ": unknown option \"--" + name + "\"";
        return false;
    }
    if (option->valueName.empty())
    {
        if (equals != std::string::npos)
        {
            error = command.name + ": --" + name + " takes no value";
            return false;
        }
        invocation.options[name] = "";
        return true;
    }
    if (equals != std::string::npos)
        invocation.options[name] = word.substr(equals + 1);
    else if (index + 1 < args.size())
        invocation.options[name] = args[++index];
    else
    {
        error = command.name + ": --" + name + " needs a value (" + option->valueName + ")";
        return false;
    }
    return true;
}
} // namespace

std::optional<SCliInvocation> ParseCliArgs(std::span<const SCliCommandSyntax> commands,
                                           const std::vector<std::string>& args, std::string& error)
{
    SCliInvocation invocation;
    if (args.empty())
    {
        error = "no command given";
        return std::nullopt;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help")
    {
        invocation.help = true;
        return invocation;
    }
    const SCliCommandSyntax* command = FindCommand(commands, args[0]);
    if (!command)
    {
        error = "unknown command \"" + args[0] + "\"";
        return std::nullopt;
    }
    invocation.command = command->name;
    bool optionsEnded = false;
    for (size_t index = 1; index < args.size(); ++index)
    {
        const std::string& word = args[index];
        if (!optionsEnded && word == "--")
            optionsEnded = true;
        else if (!optionsEnded && word == "-h")
            invocation.help = true;
        else if (!optionsEnded && word.rfind("--", 0) == 0)
        {
            if (!TakeOption(*command, args, index, invocation, error))
                return std::nullopt;
        }
        else
            invocation.positionals.push_back(word);
    }
    if (invocation.help)
        return invocation;
    if (invocation.positionals.size() < command->requiredPositionals)
    {
        error = command->name + ": missing " + command->positionals[invocation.positionals.size()];
        return std::nullopt;
    }
    if (invocation.positionals.size() > command->positionals.size())
    {
        error = command->name + ": unexpected argument \"" +
                invocation.positionals[command->positionals.size()] + "\"";
        return std::nullopt;
    }
    return invocation;
}

std::string CommandUsage(const SCliCommandSyntax& command)
{
    std::string text = "usage: tamrix-cli " + command.name;
    for (size_t index = 0; index < command.positionals.size(); ++index)
    {
        const bool optional = index >= command.requiredPositionals;
        text += optional ? " [" + command.positionals[index] + "]" : " " + command.positionals[index];
    }
    for (const SCliOption& option : command.options)
        text += " [--" + option.name + (option.valueName.empty() ? "" : " " + option.valueName) + "]";
    text += "\n\n" + command.summary;
    if (text.back() != '\n')
        text += "\n";
    if (!command.options.empty())
        text += "\noptions:\n";
    for (const SCliOption& option : command.options)
    {
        std::string left = "  --" + option.name + (option.valueName.empty() ? "" : " " + option.valueName);
        left.resize(std::max<size_t>(left.size() + 2, 22), ' ');
        text += left + option.help + "\n";
    }
    return text;
}

std::string ToolUsage(std::span<const SCliCommandSyntax> commands)
{
    std::string text = "usage: tamrix-cli COMMAND [ARGUMENTS] [--help]\n\n"
                       "DESCRIPTOR is \"COM:<port>:<baud>\" (port 1 to 255; baud 0: 38400, then 9600) or\n"
                       "\"TCP:<host>:<port>\" (port 1 to 65535).\n\n"
                       "commands:\n";
    for (const SCliCommandSyntax& command : commands)
    {
        std::string name = "  " + command.name;
        name.resize(12, ' ');
        const std::string firstLine = command.summary.substr(0, command.summary.find('\n'));
        text += name + firstLine + "\n";
    }
    text += "\nexit codes: 0 success, 1 failure, 2 usage, 3 nothing detected or connection failed,\n"
            "            4 the instrument reported errors, 5 a setting was sent but neither confirmed nor\n"
            "            read back\n";
    return text;
}

std::optional<int> ParseCliInt(const std::string& text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end)
        return std::nullopt;
    return value;
}

std::optional<double> ParseCliNumber(const std::string& text)
{
    return SSetting::ParseNumber(text);
}
