#include "CliChannels.h"
#include "CliCommands.h"
#include "CliFormat.h"
#include "CliReconnect.h"
#include "CliSilenceNotice.h"
#include "CliStopSignals.h"
#include "diag/Version.h"
#include "instrument/control/SetTarget.h"
#include "instrument/control/Setting.h"
#include "instrument/report/ConnectMessages.h"
#include "instrument/report/ReadingFormat.h"
#include "instrument/report/ReadingLog.h"
#include "instrument/session/InstrBase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr auto kRefresh = std::chrono::milliseconds(500);
constexpr int kPollPeriodMs = CInstrBase::DefaultPollPeriodMs;
constexpr const char* kWhileConnecting = " (while connecting)";
constexpr const char* kQueuedBefore = " (queued in the instrument before this connection)";

// Prints and removes every error the instrument and its channels have collected; their number.
// Right after the connect (connected given) errors are shown with a note and left out of the exit
// code: those the unit had queued before are not this run's doing, and the others come from the
// connection itself (channel discovery asks for channels that may be absent), so a unit with empty
// slots still succeeds.
int DrainErrors(CInstrBase& instrument, const SChannels& channels, const CUnitConnection* connected = nullptr)
{
    int count = 0;
    int causedByConnect = connected ? connected->ErrorsCausedByConnect() : 0;
    for (CInstrBase* session : channels.Sessions(instrument))
    {
        // The session's own list: a multi-channel parent's count also sums its channels.
        while (session->CInstrBase::GetErrorCount() > 0)
        {
            const CErrorMsg error = session->CInstrBase::GetError(0, true);
            // The instrument's own list holds first what the connect caused, then what was queued.
            const bool queued = session == &instrument && causedByConnect-- <= 0;
            const char* note = !connected ? "" : queued ? kQueuedBefore : kWhileConnecting;
            std::fprintf(stderr, "instrument error %d: %s%s\n", error.GetNumber(), error.GetText().c_str(),
                         note);
            ++count;
        }
    }
    return count;
}

std::optional<int> PositiveOption(const SCliInvocation& invocation, const char* name, int fallback)
{
    if (!invocation.Has(name))
        return fallback;
    const auto value = ParseCliInt(invocation.options.at(name));
    if (!value || *value < 1)
    {
        CliCommand::Fail(ExitUsage,
                         invocation.command + ": --" + name + " needs a whole number of 1 or more");
        return std::nullopt;
    }
    return value;
}

// --period in seconds as a poll period [ms], no shorter than the instrument's floor; nullopt (the usage
// error said) when it is not a number of at least that floor.
std::optional<int> PollPeriodOption(const SCliInvocation& invocation)
{
    if (!invocation.Has("period"))
        return kPollPeriodMs;
    const auto seconds = ParseCliNumber(invocation.options.at("period"));
    const double floor = CInstrBase::MinPollPeriodMs / 1000.0;
    if (!seconds || !(*seconds >= floor) || *seconds > 3600)
    {
        char bound[32];
        std::snprintf(bound, sizeof bound, "%g", floor);
        CliCommand::Fail(ExitUsage, invocation.command + ": --period needs a number of seconds from " +
                                        bound + " to 3600");
        return std::nullopt;
    }
    return static_cast<int>(*seconds * 1000.0 + 0.5);
}

// A unit that answered its channel selections with other channels' numbers cannot be addressed: its
// channel list would be a guess.
SReadingLogSource LogSource(CInstrBase& instrument, const std::string& descriptor)
{
    return {std::string("tamrix-cli ") + kProductVersion, instrument.GetModel(), instrument.GetSerialNumber(),
            instrument.GetFirmwareVersion(), descriptor};
}

bool SelectionFailed(const SChannels& channels)
{
    if (channels.misselected == 0)
        return false;
    CliCommand::Fail(ExitNoInstrument, "channel selection failed: the instrument answered " +
                                           std::to_string(channels.misselected) +
                                           " channel selection(s) with another channel's number");
    return true;
}
} // namespace

int CliCommand::Info(const SCliInvocation& invocation)
{
    CUnitConnection connection;
    std::string message;
    if (const EConnectResult result = connection.Open(invocation.positionals[0], message);
        result != EConnectResult::Ok)
        return Fail(ExitOf(result), message);
    CInstrBase& instrument = connection.Instrument();
    const SIdentRecord& record = connection.Record();
    const SChannels channels = SChannels::Of(instrument);
    if (SelectionFailed(channels))
        return ExitNoInstrument;
    std::vector<std::pair<std::string, std::string>> rows{
        {"Model", ReadingFormat::Printable(instrument.GetModel())},
        {"Serial number", ReadingFormat::Printable(instrument.GetSerialNumber())},
        {"Firmware", ReadingFormat::Printable(instrument.GetFirmwareVersion())},
        {"Build", ReadingFormat::Printable(instrument.GetBuild())},
        {"Calibration date", ReadingFormat::Printable(instrument.GetCalibrationDate())},
        {"Revision", ReadingFormat::Printable(instrument.GetRevision())},
        {"Codes", "family " + std::to_string(instrument.GetFamilyCode()) + ", model " +
                      std::to_string(instrument.GetModelCode()) + ", variant " +
                      std::to_string(instrument.GetVariantCode()) + ", build " +
                      std::to_string(instrument.GetBuildNumber())},
        {"Detected", "family " + std::to_string(record.familyCode) + ", model " +
                         std::to_string(record.modelCode) + ", variant " +
                         std::to_string(record.variantCode) + ", version " +
                         std::to_string(record.versionMajor) + "." + std::to_string(record.versionMinor)},
        {"Channels", CliChannels::Summary(channels)}};
    for (auto& row : CliChannels::Capabilities(channels))
        rows.push_back(std::move(row));
    std::fputs(CliFormat::KeyValues(rows).c_str(), stdout);
    DrainErrors(instrument, channels, &connection);
    return ExitOk;
}

int CliCommand::Monitor(const SCliInvocation& invocation)
{
    const auto count = PositiveOption(invocation, "count", 0);
    const auto period = PollPeriodOption(invocation);
    if (!count || !period)
        return ExitUsage;
    // The rows follow the poll period, no faster than the refresh.
    const auto refresh = std::max<Clock::duration>(kRefresh, std::chrono::milliseconds(*period));
    const std::string csvPath = invocation.Has("csv") ? invocation.options.at("csv") : "";
    CReadingLog csv;
    if (invocation.Has("csv") && !csv.Open(csvPath))
        return Fail(ExitFailure, "cannot write " + csvPath + ": " + csv.Error());

    CCliStopSignals stop;
    CUnitConnection connection;
    std::string message;
    if (const EConnectResult result = connection.Open(invocation.positionals[0], message);
        result != EConnectResult::Ok)
        return Fail(ExitOf(result), message);
    CInstrBase* instrument = &connection.Instrument();
    SChannels channels = SChannels::Of(*instrument);
    if (SelectionFailed(channels))
        return ExitNoInstrument;
    if (channels.tecs.empty() && channels.lasers.empty())
        return Fail(ExitFailure, "the instrument has no channel to monitor");
    std::printf("Connected to %s, S/N %s\n", ReadingFormat::Printable(instrument->GetModel()).c_str(),
                ReadingFormat::Printable(instrument->GetSerialNumber()).c_str());
    DrainErrors(*instrument, channels, &connection);
    csv.SetSource(LogSource(*instrument, invocation.positionals[0]));
    instrument->StartBackgroundThread(*period);
    CCliReconnect reconnect(invocation.positionals[0], instrument->GetModel(), instrument->GetSerialNumber());

    // One row per completed poll cycle, at most one a refresh: a tick that finds no new cycle prints
    // only when the row has changed (readings gone stale show "---") or the unit is not answering, so
    // a live row is never printed twice and a silent unit still shows the time going by.
    int errors = 0;
    int rows = 0;
    uint64_t shownCycle = 0;
    std::string shownRow;
    CCliSilenceNotice silence;
    auto next = Clock::now() + refresh;
    while (*count == 0 || rows < *count)
    {
        if (stop.WaitUntil(next))
            break;
        // A slow tick is not made up for with a burst of rows.
        next = std::max(next + refresh, Clock::now());
        // The panels' watch: two failed poll queries in a row end the session.
        const bool lost = instrument->IsPortOpen() && instrument->GetFailedPolls() > 1;
        if (lost || !instrument->IsPortOpen())
        {
            const std::string why =
                lost ? ConnectMessages::LostCommunications : "the connection to the instrument was lost";
            const char* gap = lost ? "lost communications" : "connection lost";
            if (csv.IsOpen() && !csv.WriteGap(std::chrono::system_clock::now(), channels.Read(), gap))
                return Fail(ExitFailure, "cannot write " + csvPath + ": " + csv.Error());
            if (!invocation.Has("reconnect"))
            {
                if (!csv.Close())
                    return Fail(ExitFailure, "cannot write " + csvPath + ": " + csv.Error());
                return Fail(ExitNoInstrument, why);
            }
            std::printf("%s; waiting for it to come back\n", why.c_str());
            std::fflush(stdout);
            if (lost)
                instrument->Disconnect();
            if (!reconnect.Wait(connection, stop))
                break;
            instrument = &connection.Instrument();
            channels = SChannels::Of(*instrument);
            std::printf("Connected again on %s\n", ReadingFormat::Printable(reconnect.Descriptor()).c_str());
            instrument->StartBackgroundThread(*period);
            shownCycle = 0;
            next = Clock::now() + refresh;
            continue;
        }
        const bool silent = silence.Report(instrument->GetSilentForMs());
        const uint64_t cycle = instrument->GetCompletedCycles();
        const std::vector<SChannelReadings> readings = channels.Read();
        const std::string row = ReadingFormat::MonitorLine("", readings);
        if (cycle == shownCycle && row == shownRow && !silent)
            continue;
        shownCycle = cycle;
        shownRow = row;
        const auto now = std::chrono::system_clock::now();
        std::printf("%s\n", ReadingFormat::MonitorLine(ReadingFormat::IsoTimestamp(now), readings).c_str());
        std::fflush(stdout);
        if (csv.IsOpen() && !csv.WriteRow(now, readings))
            return Fail(ExitFailure, "cannot write " + csvPath + ": " + csv.Error());
        ++rows;
        errors += DrainErrors(*instrument, channels);
    }
    if (!csv.Close())
        return Fail(ExitFailure, "cannot write " + csvPath + ": " + csv.Error());
    return errors > 0 ? ExitInstrumentErrors : ExitOk;
}

int CliCommand::Set(const SCliInvocation& invocation)
{
    std::string message;
    const auto setting = ParseSetting(invocation.positionals[1], invocation.positionals[2], message);
    if (!setting)
        return Fail(ExitUsage, message);
    const auto channelNumber = PositiveOption(invocation, "channel", 0);
    if (!channelNumber)
        return ExitUsage;

    CUnitConnection connection;
    if (const EConnectResult result = connection.Open(invocation.positionals[0], message);
        result != EConnectResult::Ok)
        return Fail(ExitOf(result), message);
    CInstrBase& instrument = connection.Instrument();
    const SChannels channels = SChannels::Of(instrument);
    if (SelectionFailed(channels))
        return ExitNoInstrument;
    const SSetTarget target = SSetTarget::Pick(instrument, channels, *setting, *channelNumber, message);
    if (target.Empty())
        return Fail(ExitUsage, message);

    DrainErrors(instrument, channels, &connection);
    instrument.StartBackgroundThread(kPollPeriodMs);
    const SSetTarget::SResult result = target.Apply(*setting);
    if (DrainErrors(instrument, channels) > 0)
        return ExitInstrumentErrors;
    const std::string outcome = SSetTarget::Describe(*setting, invocation.positionals[2], result);
    switch (result.state)
    {
    case SSetTarget::EState::Done:
        break;
    case SSetTarget::EState::Unconfirmed:
        // The unit's own value decides: what was asked for is done, anything else is not.
        if (!result.held)
            return Fail(ExitUnconfirmed, outcome);
        if (!result.heldAsRequested)
            return Fail(ExitFailure, outcome);
        break;
    case SSetTarget::EState::Refused:
        return Fail(ExitFailure, outcome);
    case SSetTarget::EState::NotSent:
        for (const std::string& line : result.refusal)
            std::fprintf(stderr, "tamrix-cli: %s\n", line.c_str());
        return Fail(ExitFailure, outcome);
    }
    std::printf("%s\n", outcome.c_str());
    return ExitOk;
}
