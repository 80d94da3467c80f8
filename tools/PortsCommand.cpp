#include "CliCommands.h"
#include "CliFormat.h"
#include "comm/EnumerateComPorts.h"
#include "comm/PortDiscoveryError.h"
#include "comm/PortRegistry.h"
#include "comm/TerminalDevice.h"

#include <cstdio>
#include <filesystem>

namespace
{
std::optional<int> PortNumber(const std::string& text)
{
    const auto number = ParseCliInt(text);
    if (!number || *number < CPortRegistry::MinPort || *number > CPortRegistry::MaxPort)
        return std::nullopt;
    return number;
}

int List()
{
    std::vector<SSerInfo> ports;
    try
    {
        EnumerateComPorts(ports);
    }
    catch (const CPortDiscoveryError& error)
    {
        return CliCommand::Fail(ExitFailure, error.what());
    }
    if (ports.empty())
        std::puts("No serial ports found.");
    else
        std::fputs(CliFormat::PortTable(ports).c_str(), stdout);
    if (CPortRegistry::Instance().StoreLocked())
        return CliCommand::Fail(ExitFailure, "the numbers of newly seen ports were not stored");
    return ExitOk;
}

// Stored as an absolute path: the entry is read by programs started in other folders.
int Add(int number, const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return CliCommand::Fail(ExitUsage, "\"" + path + "\": " + error.message());
    if (!std::filesystem::exists(absolute, error))
        std::fprintf(stderr, "tamrix-cli: note: %s does not exist (yet)\n", absolute.c_str());
    else if (!TerminalDevice::IsPort(absolute))
        return CliCommand::Fail(ExitUsage,
                                "\"" + path + "\" is not a terminal (a serial port or a pseudo-terminal)");
    if (!CPortRegistry::Instance().Register(number, absolute.string(), true))
        return CliCommand::Fail(ExitFailure, "could not store the port in the settings");
    std::printf("COM%d = %s\n", number, absolute.c_str());
    return ExitOk;
}

int Remove(int number)
{
    if (!CPortRegistry::Instance().Unregister(number, true))
        return CliCommand::Fail(ExitFailure, "could not store the change in the settings");
    std::printf("COM%d removed\n", number);
    return ExitOk;
}
} // namespace

int CliCommand::Ports(const SCliInvocation& invocation)
{
    const auto& words = invocation.positionals;
    if (words.empty())
        return List();
    const std::string& action = words[0];
    if (action != "add" && action != "remove")
        return Fail(ExitUsage, "ports: unknown action \"" + action + "\" (add or remove)");
    const size_t wanted = action == "add" ? 3 : 2;
    if (words.size() != wanted)
        return Fail(ExitUsage, action == "add" ? "usage: tamrix-cli ports add N PATH"
                                               : "usage: tamrix-cli ports remove N");
    const auto number = PortNumber(words[1]);
    if (!number)
        return Fail(ExitUsage, "ports: \"" + words[1] + "\" is no port number (1 to 255)");
    return action == "add" ? Add(*number, words[2]) : Remove(*number);
}
