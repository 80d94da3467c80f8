#include "CliChannels.h"
#include "CliCommands.h"
#include "CliConnection.h"
#include "CliCsvFile.h"
#include "CliFormat.h"
#include "CliReconnect.h"
#include "CliSetTarget.h"
#include "CliSetting.h"
#include "CliStopSignals.h"
#include "instrument/InstrBase.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr auto kRefresh = std::chrono::milliseconds(500);
constexpr int kPollPeriodMs = 500;
constexpr const char* kWhileConnecting = " (while connecting)";

// Prints and removes every error the instrument and its channels have collected; their number.
// Errors from the connection itself (channel discovery asks for channels that may be absent) are
// shown with a note and left out of the exit code, so that a unit with empty slots still succeeds.
int DrainErrors(CInstrBase& instrument, const SCliChannels& channels, const char* note = "")
{
    int count = 0;
    for (CInstrBase* session : channels.Sessions(instrument))
    {
        // The session's own list: a multi-channel parent's count also sums its channels.
        while (session->CInstrBase::GetErrorCount() > 0)
        {
            const CErrorMsg error = session->CInstrBase::GetError(0, true);
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
} // namespace

int CliCommand::Info(const SCliInvocation& invocation)
{
    CCliConnection connection;
    std::string message;
    if (const int result = connection.Open(invocation.positionals[0], message); result != ExitOk)
        return Fail(result, message);
    CInstrBase& instrument = connection.Instrument();
    const SIdentRecord& record = connection.Record();
    const SCliChannels channels = SCliChannels::Of(instrument);
    std::vector<std::pair<std::string, std::string>> rows{
        {"Model", instrument.GetModel()},
        {"Serial number", instrument.GetSerialNumber()},
        {"Firmware", instrument.GetFirmwareVersion()},
        {"Build", instrument.GetBuild()},
        {"Calibration date", instrument.GetCalibrationDate()},
        {"Revision", instrument.GetRevision()},
        {"Codes", "family " + std::to_string(instrument.GetFamilyCode()) + ", model " +
                      std::to_string(instrument.GetModelCode()) + ", variant " +
                      std::to_string(instrument.GetVariantCode()) + ", build " +
                      std::to_string(instrument.GetBuildNumber())},
        {"Detected", "family " + std::to_string(record.familyCode) + ", model " +
                         std::to_string(record.modelCode) + ", variant " +
                         std::to_string(record.variantCode) + ", version " +
                         std::to_string(record.versionMajor) + "." + std::to_string(record.versionMinor)},
        {"Channels", channels.Summary()}};
    for (auto& row : channels.Capabilities())
        rows.push_back(std::move(row));
    std::fputs(CliFormat::KeyValues(rows).c_str(), stdout);
    DrainErrors(instrument, channels, kWhileConnecting);
    return ExitOk;
}

int CliCommand::Monitor(const SCliInvocation& invocation)
{
    const auto count = PositiveOption(invocation, "count", 0);
    if (!count)
        return ExitUsage;
    CCliCsvFile csv;
    if (invocation.Has("csv") && !csv.Open(invocation.options.at("csv")))
        return Fail(ExitFailure,
                    "cannot write " + invocation.options.at("csv") + ": " + std::strerror(errno));

    CCliStopSignals stop;
    CCliConnection connection;
    std::string message;
    if (const int result = connection.Open(invocation.positionals[0], message); result != ExitOk)
        return Fail(result, message);
    CInstrBase* instrument = &connection.Instrument();
    SCliChannels channels = SCliChannels::Of(*instrument);
    if (channels.tecs.empty() && channels.lasers.empty())
        return Fail(ExitFailure, "the instrument has no channel to monitor");
    std::printf("Connected to %s, S/N %s\n", instrument->GetModel().c_str(),
                instrument->GetSerialNumber().c_str());
    DrainErrors(*instrument, channels, kWhileConnecting);
    instrument->StartBackgroundThread(kPollPeriodMs);
    CCliReconnect reconnect(invocation.positionals[0], instrument->GetModel(), instrument->GetSerialNumber());

    // The first row waits one refresh too, so that every channel has been polled once.
    int errors = 0;
    auto next = Clock::now() + kRefresh;
    for (int refresh = 0; *count == 0 || refresh < *count; ++refresh)
    {
        if (stop.WaitUntil(next))
            break;
        next += kRefresh;
        if (!instrument->IsPortOpen() && !invocation.Has("reconnect"))
            return Fail(ExitNoInstrument, "the connection to the instrument was lost");
        if (!instrument->IsPortOpen())
        {
            std::printf("The connection to the instrument was lost; waiting for it to come back\n");
            std::fflush(stdout);
            if (!reconnect.Wait(connection, stop))
                break;
            instrument = &connection.Instrument();
            channels = SCliChannels::Of(*instrument);
            std::printf("Connected again on %s\n", reconnect.Descriptor().c_str());
            instrument->StartBackgroundThread(kPollPeriodMs);
            next = Clock::now() + kRefresh;
            continue;
        }
        const std::vector<SCliChannelReadings> readings = channels.Read();
        const std::string time = CliFormat::IsoTimestamp(std::chrono::system_clock::now());
        if (refresh == 0)
            csv.WriteLine(CliFormat::CsvHeader(readings));
        std::printf("%s\n", CliFormat::MonitorLine(time, readings).c_str());
        std::fflush(stdout);
        csv.WriteLine(CliFormat::CsvRow(time, readings));
        errors += DrainErrors(*instrument, channels);
    }
    return errors > 0 ? ExitInstrumentErrors : ExitOk;
}

int CliCommand::Set(const SCliInvocation& invocation)
{
    std::string message;
    const auto setting = ParseCliSetting(invocation.positionals[1], invocation.positionals[2], message);
    if (!setting)
        return Fail(ExitUsage, message);
    const auto channelNumber = PositiveOption(invocation, "channel", 0);
    if (!channelNumber)
        return ExitUsage;

    CCliConnection connection;
    if (const int result = connection.Open(invocation.positionals[0], message); result != ExitOk)
        return Fail(result, message);
    CInstrBase& instrument = connection.Instrument();
    const SCliChannels channels = SCliChannels::Of(instrument);
    const SCliSetTarget target = SCliSetTarget::Pick(channels, *setting, *channelNumber, message);
    if (target.Empty())
        return Fail(ExitUsage, message);

    DrainErrors(instrument, channels, kWhileConnecting);
    instrument.StartBackgroundThread(kPollPeriodMs);
    std::vector<std::string> refusal;
    const bool accepted = target.Apply(*setting, refusal);
    if (DrainErrors(instrument, channels) > 0)
        return ExitInstrumentErrors;
    if (!accepted)
    {
        for (const std::string& line : refusal)
            std::fprintf(stderr, "tamrix-cli: %s\n", line.c_str());
        return Fail(ExitFailure, setting->name + " was not sent");
    }
    std::printf("%s %s: done\n", setting->name.c_str(), invocation.positionals[2].c_str());
    return ExitOk;
}
