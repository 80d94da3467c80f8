#include "instrument/control/SetTarget.h"

#include "instrument/control/SetterLog.h"
#include "instrument/lamp/LPS.h"
#include "instrument/laser/Laser.h"
#include "instrument/report/ModeNames.h"
#include "instrument/report/ReadingFormat.h"
#include "instrument/session/InstrBase.h"
#include "instrument/tec/TEC.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>

namespace
{
bool ApplyTec(const SSetting& setting, CTEC& tec)
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

bool ApplyLaser(const SSetting& setting, CLaser& laser)
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
Channel* PickChannel(const std::vector<SChannel<Channel>>& channels, int number, const char* kind,
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

SSetTarget SSetTarget::Pick(CInstrBase& instrument, const SChannels& channels, const SSetting& setting,
                            int channelNumber, std::string& message)
{
    SSetTarget target;
    target.poller = &instrument;
    if (setting.family == SSetting::Family::Tec)
        target.tec = PickChannel(channels.tecs, channelNumber, "TEC", message);
    else
        target.laser = PickChannel(channels.lasers, channelNumber, "laser", message);
    return target;
}

SSetTarget::SResult SSetTarget::Apply(const SSetting& setting) const
{
    SResult result;
    if (Empty())
        return result;
    bool accepted = false;
    std::vector<std::string> logged;
    {
        // The log sink is process-wide: setters that capture it take turns, or one would collect (or
        // cut short) another's refusal.
        static std::mutex capturing;
        std::lock_guard<std::mutex> turn(capturing);
        CInstrBase::ResetLastCommandOutcome();
        CSetterLog log;
        accepted = tec ? ApplyTec(setting, *tec) : ApplyLaser(setting, *laser);
        logged = log.Lines();
    }
    if (accepted)
    {
        result.state = EState::Done;
        return result;
    }
    switch (CInstrBase::LastCommandOutcome())
    {
    case ECommandOutcome::Refused:
        result.state = EState::Refused;
        return result;
    case ECommandOutcome::Unconfirmed:
        result.state = EState::Unconfirmed;
        result.held = ReadBack(setting);
        result.heldAsRequested = result.held && Matches(setting, *result.held);
        return result;
    default:
        for (const std::string& line : logged)
            result.refusal.push_back(Trimmed(line));
        return result;
    }
}

std::string SSetTarget::Describe(const SSetting& setting, const std::string& value, const SResult& result)
{
    const std::string head = setting.name + " " + value + ": ";
    switch (result.state)
    {
    case EState::Done:
        return head + "done";
    case EState::Refused:
        return head + "refused by the instrument";
    case EState::Unconfirmed:
        return head + "sent, not confirmed; " +
               (result.held ? "read back, the instrument holds " + *result.held
                            : "the instrument did not answer a read-back, so its value is unknown");
    case EState::NotSent:
        break;
    }
    return setting.name + " was not sent";
}

std::optional<std::string> SSetTarget::ReadBack(const SSetting& setting) const
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + ReadBackBudget;
    auto left = [&deadline]
    {
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<int>(std::max<long long>(rest.count(), 0));
    };
    // While the poll runs, the getters answer from the cache, which holds what was asked for.
    if (poller && !poller->PauseBackgroundThread(true, left()))
    {
        poller->PauseBackgroundThread(false, left());
        return std::nullopt;
    }
    CInstrBase& session = tec ? static_cast<CInstrBase&>(*tec) : static_cast<CInstrBase&>(*laser);
    std::optional<std::string> held;
    // Each attempt waits out a query time-out when the unit is silent, so the loop never spins.
    while (!held && session.IsPortOpen() && left() > 0)
        held = ReadOnce(setting);
    if (poller)
        poller->PauseBackgroundThread(false, CInstrBase::DefaultTimeoutMs);
    return held;
}

std::optional<std::string> SSetTarget::ReadOnce(const SSetting& setting) const
{
    auto number = [](float value, int precision) -> std::optional<std::string>
    {
        std::string text = ReadingFormat::Number(value, precision);
        return text == "---" ? std::nullopt : std::optional<std::string>(std::move(text));
    };
    if (setting.kind == SSetting::Kind::Output)
    {
        // The channels' output getters cannot say that nothing answered, so the unit is asked here.
        const bool lamp = laser && dynamic_cast<CLPS*>(laser) != nullptr;
        const char* query = tec ? "TEC:OUT?\n" : lamp ? "LPS:OUT?" : "LAS:OUT?";
        CInstrBase& session = tec ? static_cast<CInstrBase&>(*tec) : static_cast<CInstrBase&>(*laser);
        const std::string reply = session.Query(query);
        int on = 0;
        const auto [end, error] = std::from_chars(reply.data(), reply.data() + reply.size(), on);
        if (reply.empty() || error != std::errc() || end != reply.data() + reply.size())
            return std::nullopt;
        return on != 0 ? "on" : "off";
    }
    if (tec)
    {
        if (setting.name == "tec.t")
            return number(tec->GetTSetPoint(), tec->GetPrecision(TecQuantityT));
        if (setting.name == "tec.r")
            return number(tec->GetRSetPoint(), tec->GetPrecision(TecQuantityR));
        if (setting.name == "tec.ite")
            return number(tec->GetITESetPoint(), tec->GetPrecision(TecQuantityITE));
        const int mode = tec->GetMode(true);
        return mode == TecModeUnknown ? std::nullopt : std::optional<std::string>(ModeNames::Tec(mode));
    }
    if (setting.name == "las.ldi")
        return number(laser->GetLDISetPoint(), laser->GetPrecision(LaserModeICW));
    if (setting.name == "las.ldv")
        return number(laser->GetLDVSetPoint(), laser->GetPrecision(LaserModeLDV));
    if (setting.name == "las.mdi")
        return number(laser->GetMDISetPoint(), laser->GetPrecision(LaserModeMDI));
    if (setting.name == "las.mdp")
        return number(laser->GetMDPSetPoint(), laser->GetPrecision(LaserModeMDP));
    const int mode = laser->GetMode(true);
    return mode == LaserModeNone ? std::nullopt : std::optional<std::string>(ModeNames::Laser(mode));
}

bool SSetTarget::Matches(const SSetting& setting, const std::string& held) const
{
    switch (setting.kind)
    {
    case SSetting::Kind::Output:
        return held == (setting.code != 0 ? "on" : "off");
    case SSetting::Kind::Mode:
        return held == (tec ? ModeNames::Tec(setting.code) : ModeNames::Laser(setting.code));
    case SSetting::Kind::Number:
        break;
    }
    // Equal to the last decimal the unit answered with: it rounds what it reports, not what it keeps.
    const auto value = SSetting::ParseNumber(held);
    const size_t point = held.find('.');
    const int decimals = point == std::string::npos ? 0 : static_cast<int>(held.size() - point - 1);
    return value && std::fabs(*value - setting.number) <= 0.5 * std::pow(10.0, -decimals) + 1e-9;
}
