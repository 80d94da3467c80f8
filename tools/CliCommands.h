#pragma once

#include "CliArgs.h"
#include "instrument/control/UnitConnection.h"

#include <span>
#include <string>
#include <vector>

// One command of tamrix-cli: what it accepts and what runs it. Runners print their results on
// standard output and problems on standard error, and answer a CliExit code.
struct SCliCommand
{
    SCliCommandSyntax syntax;
    int (*run)(const SCliInvocation& invocation);
};

std::span<const SCliCommand> CliCommandTable();
// The whole tool: parse, print help or a usage error, run the command.
int RunCli(const std::vector<std::string>& args);

// The runners, grouped by what they talk to.
namespace CliCommand
{
int Ports(const SCliInvocation& invocation);
int Detect(const SCliInvocation& invocation);
int Query(const SCliInvocation& invocation);
int Errors(const SCliInvocation& invocation);
int Info(const SCliInvocation& invocation);
int Monitor(const SCliInvocation& invocation);
int Set(const SCliInvocation& invocation);

// The exit code for a connection that did not come about.
int ExitOf(EConnectResult result);
// "tamrix-cli: <text>" on standard error; answers code so runners can return it.
int Fail(int code, const std::string& text);
} // namespace CliCommand
