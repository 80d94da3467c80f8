#include "CliCommands.h"

#include "instrument/control/Setting.h"

#include <array>
#include <cstdio>

namespace
{
const SCliOption kTimeout{"timeout", "MS", "how long to wait for the reply (default 2000)"};

const std::array<SCliCommand, 7> kCommands{{
    {{"ports",
      {"add|remove", "N", "PATH"},
      0,
      {},
      "List the serial ports (number, name, USB, friendly name, device path).\n"
      "\"ports add N PATH\" keeps PATH (a pseudo-terminal, say) as port COM N for every program of this\n"
      "user: a terminal, or a path that does not exist yet; \"ports remove N\" forgets it."},
     &CliCommand::Ports},
    {{"detect",
      {"DESCRIPTOR"},
      1,
      {},
      "Detect the instrument on a port and print its identification record."},
     &CliCommand::Detect},
    {{"info",
      {"DESCRIPTOR"},
      1,
      {},
      "Connect and print the instrument's identity texts, codes, channels and capabilities."},
     &CliCommand::Info},
    {{"monitor",
      {"DESCRIPTOR"},
      1,
      {{"count", "N", "stop after N refreshes (default: until interrupted)"},
       {"csv", "FILE", "also write a header and one row per refresh to FILE"},
       {"reconnect", "",
        "when the instrument goes away, wait for it (same model and serial number) on any port"},
       {"period", "S",
        "poll every S seconds (default 0.1, at least 0.01); rows follow it, at most two a second"}},
      "Connect, poll and print every channel's readings twice a second."},
     &CliCommand::Monitor},
    {{"set",
      {"DESCRIPTOR", "NAME", "VALUE"},
      3,
      {{"channel", "K", "the channel numbered K on the instrument (default: the first present)"}},
      "Change one setting while the instrument polls, then print the errors it reported.\nNAME is one of:\n" +
          SettingHelp()},
     &CliCommand::Set},
    {{"query", {"DESCRIPTOR", "TEXT"}, 2, {kTimeout}, "Send one raw line and print the reply."},
     &CliCommand::Query},
    {{"errors", {"DESCRIPTOR"}, 1, {kTimeout}, "Read the instrument's error queue and print it with texts."},
     &CliCommand::Errors},
}};

std::vector<SCliCommandSyntax> Syntaxes()
{
    std::vector<SCliCommandSyntax> syntaxes;
    syntaxes.reserve(std::size(kCommands));
    for (const SCliCommand& command : kCommands)
        syntaxes.push_back(command.syntax);
    return syntaxes;
}
} // namespace

std::span<const SCliCommand> CliCommandTable()
{
    return kCommands;
}

int RunCli(const std::vector<std::string>& args)
{
    const std::vector<SCliCommandSyntax> syntaxes = Syntaxes();
    std::string error;
    const auto invocation = ParseCliArgs(syntaxes, args, error);
    if (!invocation)
    {
        std::fprintf(stderr, "tamrix-cli: %s\n(tamrix-cli --help lists the commands)\n", error.c_str());
        return ExitUsage;
    }
    for (const SCliCommand& command : kCommands)
    {
        if (command.syntax.name != invocation->command)
            continue;
        if (invocation->help)
        {
            std::fputs(CommandUsage(command.syntax).c_str(), stdout);
            return ExitOk;
        }
        return command.run(*invocation);
    }
    std::fputs(ToolUsage(syntaxes).c_str(), stdout);
    return ExitOk;
}

int CliCommand::ExitOf(EConnectResult result)
{
    switch (result)
    {
    case EConnectResult::Ok:
        return ExitOk;
    case EConnectResult::BadDescriptor:
        return ExitUsage;
    case EConnectResult::NoInstrument:
        break;
    }
    return ExitNoInstrument;
}

int CliCommand::Fail(int code, const std::string& text)
{
    std::fprintf(stderr, "tamrix-cli: %s\n", text.c_str());
    return code;
}
