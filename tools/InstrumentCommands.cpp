#include "CliChannels.h"
#include "CliCommands.h"
#include "CliConnection.h"
#include "CliCsvFile.h"
#include "CliFormat.h"
#include "CliSetterLog.h"
#include "CliSetting.h"
#include "CliStopSignals.h"
#include "instrument/laser/Laser.h"
#include "instrument/tec/TEC.h"

#include <algorithm>
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

bool ApplyTec(const SCliSetting& setting, CTEC& tec)
{
    const auto value = static_cast<float>(setting.number);
    if (setting.name == "tec.t")
        return tec.SetT(value);
    if (setting.name == "tec.r")
        return tec.SetR(value);
    if (setting.name == "tec.ite")
        return tec.SetITE(value);
    if (setting.name == "tec.mode")
        return tec.SetMode(setting.code);
    return tec.SetOutput(setting.code != 0);
}

bool ApplyLaser(const SCliSetting& setting, CLaser& laser)
{
    if (setting.name == "las.ldi")
        return laser.SetLDI(setting.number);
    if (setting.name == "las.ldv")
        return laser.SetLDV(setting.number);
    if (setting.name == "las.mdi")
        return laser.SetMDI(setting.number);
    if (setting.name == "las.mdp")
        return laser.SetMDP(setting.number);
    if (setting.name == "las.mode")
        return laser.SetMode(setting.code);
    return laser.SetOutput(setting.code != 0);
}

// The channel with that number on the instrument (1 for a single-channel unit); 0 picks the first.
template <typename Channel>
Channel* PickChannel(const std::vector<SCliChannel<Channel>>& channels, int number, const char* kind,
                     std::string& message)
{
    for (const auto& entry : channels)
    {
        if (entry.number == number || number == 0)
            return entry.channel;
    }
    if (channels.empty())
        message = std::string("the instrument has no ") + kind + " channel";
    else
    {
        message = std::string("no ") + kind + " channel " + std::to_string(number) + " (present:";
        for (const auto& entry : channels)
            message += " " + std::to_string(entry.number);
        message += ")";
    }
    return nullptr;
}

// A unit that answered its channel selections with other channels' numbers cannot be addressed: its
// channel list would be a guess.
bool SelectionFailed(const SCliChannels& channels)
{
    if (channels.misselected == 0)
        return false;
    CliCommand::Fail(ExitNoInstrument, "channel selection failed: the instrument answered " +
                                           std::to_string(channels.misselected) +
                                           " channel selection(s) with another channel's number");
    return true;
}

// A log line without its line end and the log's elapsed-time prefix ("    2.105: ").
std::string Trimmed(std::string line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    const size_t text = line.find_first_not_of(" 0123456789.");
    if (text != std::string::npos && text > 0 && line.compare(text, 2, ": ") == 0)
        line.erase(0, text + 2);
    return line;
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
    if (SelectionFailed(channels))
        return ExitNoInstrument;
    std::vector<std::pair<std::string, std::string>> rows{
        {"Model", CliFormat::Printable(instrument.GetModel())},
        {"Serial number", CliFormat::Printable(instrument.GetSerialNumber())},
        {"Firmware", CliFormat::Printable(instrument.GetFirmwareVersion())},
        {"Build", CliFormat::Printable(instrument.GetBuild())},
        {"Calibration date", CliFormat::Printable(instrument.GetCalibrationDate())},
        {"Revision", CliFormat::Printable(instrument.GetRevision())},
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
    CInstrBase& instrument = connection.Instrument();
    const SCliChannels channels = SCliChannels::Of(instrument);
    if (SelectionFailed(channels))
        return ExitNoInstrument;
    if (channels.tecs.empty() && channels.lasers.empty())
        return Fail(ExitFailure, "the instrument has no channel to monitor");
    std::printf("Connected to %s, S/N %s\n", CliFormat::Printable(instrument.GetModel()).c_str(),
                CliFormat::Printable(instrument.GetSerialNumber()).c_str());
    DrainErrors(instrument, channels, kWhileConnecting);
    instrument.StartBackgroundThread(kPollPeriodMs);

    // One row per completed poll cycle, at most one a refresh: a tick that finds no new cycle prints
    // nothing, so a cached row is never printed twice. The first row waits one refresh too.
    const std::string csvPath = invocation.Has("csv") ? invocation.options.at("csv") : "";
    int errors = 0;
    int rows = 0;
    uint64_t shownCycle = 0;
    auto next = Clock::now() + kRefresh;
    while (*count == 0 || rows < *count)
    {
        if (stop.WaitUntil(next))
            break;
        // A slow tick is not made up for with a burst of rows.
        next = std::max(next + kRefresh, Clock::now());
        if (!instrument.IsPortOpen())
            return Fail(ExitNoInstrument, "the connection to the instrument was lost");
        // The panels' watch: two failed poll cycles in a row end the session.
        if (instrument.GetFailedPolls() > 1)
            return Fail(ExitNoInstrument, CliMessages::LostCommunications);
        const uint64_t cycle = instrument.GetCompletedCycles();
        if (cycle == shownCycle)
            continue;
        shownCycle = cycle;
        const std::vector<SCliChannelReadings> readings = channels.Read();
        const std::string time = CliFormat::IsoTimestamp(std::chrono::system_clock::now());
        if (rows == 0 && !csv.WriteLine(CliFormat::CsvHeader(readings)))
            return Fail(ExitFailure, "cannot write " + csvPath + ": " + std::strerror(errno));
        std::printf("%s\n", CliFormat::MonitorLine(time, readings).c_str());
        std::fflush(stdout);
        if (!csv.WriteLine(CliFormat::CsvRow(time, readings)))
            return Fail(ExitFailure, "cannot write " + csvPath + ": " + std::strerror(errno));
        ++rows;
        errors += DrainErrors(instrument, channels);
    }
    if (!csv.Close())
        return Fail(ExitFailure, "cannot write " + csvPath + ": " + std::strerror(errno));
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
    if (SelectionFailed(channels))
        return ExitNoInstrument;
    CTEC* tec = nullptr;
    CLaser* laser = nullptr;
    if (setting->family == SCliSetting::Family::Tec)
        tec = PickChannel(channels.tecs, *channelNumber, "TEC", message);
    else
        laser = PickChannel(channels.lasers, *channelNumber, "laser", message);
    if (!tec && !laser)
        return Fail(ExitUsage, message);

    DrainErrors(instrument, channels, kWhileConnecting);
    instrument.StartBackgroundThread(kPollPeriodMs);
    bool accepted = false;
    std::vector<std::string> logged;
    {
        CCliSetterLog log;
        accepted = tec ? ApplyTec(*setting, *tec) : ApplyLaser(*setting, *laser);
        logged = log.Lines();
    }
    if (DrainErrors(instrument, channels) > 0)
        return ExitInstrumentErrors;
    if (!accepted)
    {
        for (const std::string& line : logged)
            std::fprintf(stderr, "tamrix-cli: %s\n", Trimmed(line).c_str());
        return Fail(ExitFailure, setting->name + " was not sent");
    }
    std::printf("%s %s: done\n", setting->name.c_str(), invocation.positionals[2].c_str());
    return ExitOk;
}
