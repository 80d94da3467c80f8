#include "CliChannels.h"

#include "instrument/lamp/LPS.h"
#include "instrument/tec/TEC.h"

namespace
{
std::string YesNo(bool on)
{
    return on ? "yes" : "no";
}

// A capability the unit's reply did not tell: said so, never taken as "no".
std::string YesNoUnknown(std::optional<bool> on)
{
    return on ? YesNo(*on) : std::string("---");
}

std::string TecCapabilities(CTEC& tec)
{
    return "sensors " + std::to_string(tec.GetSensorCount()) + ", T " +
           ReadingFormat::Number(tec.GetMinT(), 1) + ".." + ReadingFormat::Number(tec.GetMaxT(), 1) +
           " °C, max ITE limit " + ReadingFormat::Number(tec.GetMaxITELimit(), 3) + " A, autotune " +
           YesNo(tec.IsAutoTuneSupported()) + ", fan " + YesNoUnknown(tec.GetFanSupport()) + ", cable R " +
           YesNo(tec.SupportsCableR());
}

std::string LaserCapabilities(CLaser& laser)
{
    if (dynamic_cast<CLPS*>(&laser) != nullptr)
        return "lamp supply, modes I and V (las.mode ICW or LDV)";
    return "max LDI limit " + ReadingFormat::Number(laser.GetMaxLDILimit(false), 1) + " mA, dual range " +
           YesNo(laser.HasDualRange()) + ", pulsed " + YesNo(laser.IsPulseCapable()) + ", QCW " +
           YesNo(laser.IsQCWSupported()) + ", V sense " + YesNo(laser.IsVSenseSupported()) + ", remote set " +
           YesNo(laser.HasRemoteSetControl());
}

template <class Channel>
std::string Numbers(const std::vector<SChannel<Channel>>& channels)
{
    std::string text = std::to_string(channels.size());
    for (size_t index = 0; index < channels.size(); ++index)
        text += (index == 0 ? " (" : ", ") + std::to_string(channels[index].number);
    return channels.empty() ? text : text + ")";
}
} // namespace

namespace CliChannels
{
std::vector<std::pair<std::string, std::string>> Capabilities(const SChannels& channels)
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& entry : channels.tecs)
        rows.emplace_back(entry.label, TecCapabilities(*entry.channel));
    for (const auto& entry : channels.lasers)
        rows.emplace_back(entry.label, LaserCapabilities(*entry.channel));
    return rows;
}

std::string Summary(const SChannels& channels)
{
    return "TEC " + Numbers(channels.tecs) + ", laser " + Numbers(channels.lasers);
}
} // namespace CliChannels
