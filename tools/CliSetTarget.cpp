#include "CliSetTarget.h"

#include "CliSetterLog.h"
#include "instrument/laser/Laser.h"
#include "instrument/tec/TEC.h"

namespace
{
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

SCliSetTarget SCliSetTarget::Pick(const SChannels& channels, const SCliSetting& setting, int channelNumber,
                                  std::string& message)
{
    SCliSetTarget target;
    if (setting.family == SCliSetting::Family::Tec)
        target.tec = PickChannel(channels.tecs, channelNumber, "TEC", message);
    else
        target.laser = PickChannel(channels.lasers, channelNumber, "laser", message);
    return target;
}

bool SCliSetTarget::Apply(const SCliSetting& setting, std::vector<std::string>& refusal) const
{
    if (Empty())
        return false;
    bool accepted = false;
    std::vector<std::string> logged;
    {
        CCliSetterLog log;
        accepted = tec ? ApplyTec(setting, *tec) : ApplyLaser(setting, *laser);
        logged = log.Lines();
    }
    if (!accepted)
    {
        for (const std::string& line : logged)
            refusal.push_back(Trimmed(line));
    }
    return accepted;
}
