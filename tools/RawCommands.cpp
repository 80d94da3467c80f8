#include "CliCommands.h"
#include "CliFormat.h"
#include "comm/Serial.h"
#include "instrument/report/ConnectMessages.h"
#include "instrument/report/ReadingFormat.h"
#include "instrument/session/ErrorList.h"
#include "instrument/session/InstrBase.h"

#include <cstdio>

namespace
{
// --timeout, else the session's default; nullopt (after a message) when it is no positive number.
std::optional<int> Timeout(const SCliInvocation& invocation)
{
    if (!invocation.Has("timeout"))
        return CInstrBase::DefaultTimeoutMs;
    const auto timeout = ParseCliInt(invocation.options.at("timeout"));
    if (!timeout || *timeout <= 0)
    {
        CliCommand::Fail(ExitUsage,
                         invocation.command + ": --timeout needs a positive number of milliseconds");
        return std::nullopt;
    }
    return timeout;
}

std::string AsLine(const std::string& text)
{
    const bool ended = !text.empty() && (text.back() == '\n' || text.back() == '\r');
    return ended ? text : text + "\n";
}
} // namespace

int CliCommand::Detect(const SCliInvocation& invocation)
{
    SIdentRecord record;
    std::string message;
    if (const EConnectResult result = CUnitConnection::Detect(invocation.positionals[0], record, message);
        result != EConnectResult::Ok)
        return Fail(ExitOf(result), message);
    std::fputs(CliFormat::IdentRecord(record).c_str(), stdout);
    return ExitOk;
}

int CliCommand::Query(const SCliInvocation& invocation)
{
    const auto timeout = Timeout(invocation);
    if (!timeout)
        return ExitUsage;
    CSerial port;
    std::string message;
    if (const EConnectResult result = CUnitConnection::OpenRaw(invocation.positionals[0], port, message);
        result != EConnectResult::Ok)
        return Fail(ExitOf(result), message);
    const std::string& text = invocation.positionals[1];
    const std::string reply = port.Query(AsLine(text), *timeout);
    const bool stillOpen = port.IsOpen();
    port.Close();
    if (!reply.empty())
    {
        std::printf("%s\n", ReadingFormat::Printable(reply).c_str());
        return ExitOk;
    }
    // The channel closes itself when the far end is gone or never answered the connection.
    if (!stillOpen)
    {
        const EOpenFailure failure = port.GetLastOpenFailure();
        return Fail(ExitNoInstrument, failure == EOpenFailure::None
                                          ? std::string(ConnectMessages::CouldNotConnect)
                                          : std::string(ConnectMessages::CouldNotConnectTcp) + ": " +
                                                DescribeOpenFailure(failure));
    }
    // Only a query ("?") must be answered; a command may rightly stay silent.
    if (text.find('?') != std::string::npos)
        return Fail(ExitNoInstrument, "no reply within " + std::to_string(*timeout) + " ms");
    return ExitOk;
}

int CliCommand::Errors(const SCliInvocation& invocation)
{
    const auto timeout = Timeout(invocation);
    if (!timeout)
        return ExitUsage;
    CSerial port;
    std::string message;
    if (const EConnectResult result = CUnitConnection::OpenRaw(invocation.positionals[0], port, message);
        result != EConnectResult::Ok)
        return Fail(ExitOf(result), message);
    const std::string reply = port.Query("ERR?\n", *timeout);
    port.Close();
    if (reply.empty())
        return Fail(ExitNoInstrument, ConnectMessages::NoController);
    CErrorList errors;
    errors.AddErrorsFromReply(reply, 0);
    if (errors.GetErrorCount() == 0)
    {
        std::puts("No errors.");
        return ExitOk;
    }
    while (errors.GetErrorCount() > 0)
    {
        const CErrorMsg error = errors.GetError(0, true);
        std::printf("%d %s\n", error.GetNumber(), error.GetText().c_str());
    }
    return ExitInstrumentErrors;
}
