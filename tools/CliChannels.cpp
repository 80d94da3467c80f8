#include "CliChannels.h"

#include "CliSetting.h"
#include "instrument/lamp/LPS.h"
#include "instrument/lamp/MultiLPS.h"
#include "instrument/multi/MultiLaser.h"
#include "instrument/multi/MultiTec.h"

#include <algorithm>

namespace
{
std::string YesNo(bool on)
{
    return on ? "yes" : "no";
}

SCliReading Number(const char* name, const std::string& unit, double value, int precision)
{
    return SCliReading{name, unit, value, precision, {}};
}

SCliReading Text(const char* name, const std::string& text)
{
    return SCliReading{name, {}, 0.0, 0, text};
}

bool IsLampSupply(CLaser* laser)
{
    return dynamic_cast<CLPS*>(laser) != nullptr;
}

// A lamp supply calls its current and voltage modes "I" and "V".
std::string LampModeName(int mode)
{
    return mode == LaserModeICW ? "I" : mode == LaserModeLDV ? "V" : "?";
}

int TecSetPointPrecision(const CTEC& tec, int mode)
{
    switch (mode)
    {
    case TecModeR:
        return tec.GetPrecision(TecQuantityR);
    case TecModeITE:
        return tec.GetPrecision(TecQuantityITE);
    default:
        return tec.GetPrecision(TecQuantityT);
    }
}

SCliChannelReadings ReadTec(const std::string& label, CTEC& tec)
{
    const int mode = tec.GetMode(false);
    return {label,
            {Number("T", "°C", tec.GetT(), tec.GetPrecision(TecQuantityT)),
             Number("R", tec.GetRUnits(tec.GetSensorType()), tec.GetR(), tec.GetPrecision(TecQuantityR)),
             Number("ITE", "A", tec.GetITE(), tec.GetPrecision(TecQuantityITE)),
             Number("V", "V", tec.GetV(), tec.GetPrecision(TecQuantityV)),
             Number("set", "", tec.GetSetPoint(), TecSetPointPrecision(tec, mode)),
             Text("output", tec.GetOutput(false) ? "on" : "off"), Text("mode", TecModeName(mode))}};
}

// Precisions by mode: the channel class knows which quantity each mode drives (a lamp supply's own).
SCliChannelReadings ReadLaser(const std::string& label, CLaser& laser)
{
    const int mode = laser.GetMode(false);
    SCliChannelReadings readings{label, {}};
    if (IsLampSupply(&laser))
    {
        readings.readings = {Number("I", "A", laser.GetLDI(false), laser.GetPrecision(LaserModeICW)),
                             Number("V", "V", laser.GetLDV(false), laser.GetPrecision(LaserModeLDV))};
    }
    else
    {
        readings.readings = {Number("LDI", "mA", laser.GetLDI(false), laser.GetPrecision(LaserModeICW)),
                             Number("LDV", "V", laser.GetLDV(false), laser.GetPrecision(LaserModeLDV)),
                             Number("MDI", "µA", laser.GetMDI(false), laser.GetPrecision(LaserModeMDI)),
                             Number("MDP", "mW", laser.GetMDP(false), laser.GetPrecision(LaserModeMDP))};
    }
    readings.readings.push_back(Number("set", "", laser.GetSetPoint(), laser.GetPrecision(mode)));
    readings.readings.push_back(Text("output", laser.GetOutput(false) ? "on" : "off"));
    readings.readings.push_back(
        Text("mode", IsLampSupply(&laser) ? LampModeName(mode) : LaserModeName(mode)));
    return readings;
}

std::string TecCapabilities(CTEC& tec)
{
    return "sensors " + std::to_string(tec.GetSensorCount()) + ", T " + CliFormat::Number(tec.GetMinT(), 1) +
           ".." + CliFormat::Number(tec.GetMaxT(), 1) + " °C, max ITE limit " +
           CliFormat::Number(tec.GetMaxITELimit(), 3) + " A, autotune " + YesNo(tec.IsAutoTuneSupported()) +
           ", fan " + YesNo(tec.IsFanSupported()) + ", cable R " + YesNo(tec.SupportsCableR());
}

std::string LaserCapabilities(CLaser& laser)
{
    if (IsLampSupply(&laser))
        return "lamp supply, modes I and V (las.mode ICW or LDV)";
    return "max LDI limit " + CliFormat::Number(laser.GetMaxLDILimit(false), 1) + " mA, dual range " +
           YesNo(laser.HasDualRange()) + ", pulsed " + YesNo(laser.IsPulseCapable()) + ", QCW " +
           YesNo(laser.IsQCWSupported()) + ", V sense " + YesNo(laser.IsVSenseSupported()) + ", remote set " +
           YesNo(laser.HasRemoteSetControl());
}

// The present channels of a multi-channel parent, numbered as the instrument numbers them.
template <class Channel, class Multi, class NumberOf>
void AddHosted(const Multi& multi, int count, const std::string& prefix, NumberOf numberOf,
               std::vector<SCliChannel<Channel>>& out)
{
    for (int index = 0; index < count; ++index)
    {
        if (Channel* channel = multi.GetChannelObject(index))
        {
            const int number = numberOf(*channel) > 0 ? numberOf(*channel) : index + 1;
            out.push_back({prefix + std::to_string(number), number, channel});
        }
    }
}

void AddTecs(CInstrBase& instrument, std::vector<SCliChannel<CTEC>>& out)
{
    auto numberOf = [](CTEC& tec) { return tec.GetChannelNumber(); };
    if (auto* multi = dynamic_cast<CMultiTec*>(&instrument))
        AddHosted<CTEC>(*multi, multi->GetTecChannelCount(), "TEC", numberOf, out);
    else if (auto* tec = dynamic_cast<CTEC*>(&instrument); tec && instrument.HasTECChannel())
        out.push_back({"TEC", 1, tec});
}

void AddLasers(CInstrBase& instrument, std::vector<SCliChannel<CLaser>>& out)
{
    auto numberOf = [](CLaser& laser) { return laser.GetLaserChannelNumber(); };
    if (auto* lamps = dynamic_cast<CMultiLPS*>(&instrument))
        AddHosted<CLaser>(*lamps, lamps->GetLampChannelCount(), "LPS", numberOf, out);
    else if (auto* multi = dynamic_cast<CMultiLaser*>(&instrument))
        AddHosted<CLaser>(*multi, multi->GetLaserChannelCount(), "LAS", numberOf, out);
    else if (auto* laser = dynamic_cast<CLaser*>(&instrument); laser && instrument.HasLaserChannel())
        out.push_back({IsLampSupply(laser) ? "LPS" : "LAS", 1, laser});
}

template <class Channel>
std::string Numbers(const std::vector<SCliChannel<Channel>>& channels)
{
    std::string text = std::to_string(channels.size());
    for (size_t index = 0; index < channels.size(); ++index)
        text += (index == 0 ? " (" : ", ") + std::to_string(channels[index].number);
    return channels.empty() ? text : text + ")";
}
} // namespace

SCliChannels SCliChannels::Of(CInstrBase& instrument)
{
    SCliChannels channels;
    AddTecs(instrument, channels.tecs);
    AddLasers(instrument, channels.lasers);
    return channels;
}

std::vector<CInstrBase*> SCliChannels::Sessions(CInstrBase& instrument) const
{
    std::vector<CInstrBase*> sessions{&instrument};
    auto add = [&sessions](CInstrBase* session)
    {
        if (std::find(sessions.begin(), sessions.end(), session) == sessions.end())
            sessions.push_back(session);
    };
    for (const auto& entry : tecs)
        add(entry.channel);
    for (const auto& entry : lasers)
        add(entry.channel);
    return sessions;
}

std::vector<SCliChannelReadings> SCliChannels::Read() const
{
    std::vector<SCliChannelReadings> readings;
    for (const auto& entry : tecs)
        readings.push_back(ReadTec(entry.label, *entry.channel));
    for (const auto& entry : lasers)
        readings.push_back(ReadLaser(entry.label, *entry.channel));
    return readings;
}

std::vector<std::pair<std::string, std::string>> SCliChannels::Capabilities() const
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& entry : tecs)
        rows.emplace_back(entry.label, TecCapabilities(*entry.channel));
    for (const auto& entry : lasers)
        rows.emplace_back(entry.label, LaserCapabilities(*entry.channel));
    return rows;
}

std::string SCliChannels::Summary() const
{
    return "TEC " + Numbers(tecs) + ", laser " + Numbers(lasers);
}
