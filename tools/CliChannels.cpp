#include "CliChannels.h"

#include "CliSetting.h"
#include "instrument/Laser.h"
#include "instrument/TEC.h"

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

SCliChannelReadings ReadLaser(const std::string& label, CLaser& laser)
{
    const int mode = laser.GetMode(false);
    const std::string currentUnit = laser.GetCurrentScale() == 1.0 ? "A" : "mA";
    return {label,
            {Number("LDI", currentUnit, laser.GetLDI(false), laser.GetLDIPrecision()),
             Number("LDV", "V", laser.GetLDV(false), laser.GetLDVPrecision()),
             Number("MDI", "µA", laser.GetMDI(false), laser.GetMDIPrecision()),
             Number("MDP", "mW", laser.GetMDP(false), laser.GetMDPPrecision()),
             Number("set", "", laser.GetSetPoint(), laser.GetPrecision(mode)),
             Text("output", laser.GetOutput(false) ? "on" : "off"), Text("mode", LaserModeName(mode))}};
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
    return "max LDI limit " + CliFormat::Number(laser.GetMaxLDILimit(false), 1) + ", dual range " +
           YesNo(laser.HasDualRange()) + ", pulsed " + YesNo(laser.IsPulseCapable()) + ", QCW " +
           YesNo(laser.IsQCWSupported()) + ", V sense " + YesNo(laser.IsVSenseSupported()) + ", remote set " +
           YesNo(laser.HasRemoteSetControl());
}
} // namespace

SCliChannels SCliChannels::Of(CInstrBase& instrument)
{
    SCliChannels channels;
    if (instrument.HasTECChannel())
    {
        if (auto* tec = dynamic_cast<CTEC*>(&instrument))
            channels.tecs.emplace_back("TEC", tec);
    }
    if (instrument.HasLaserChannel())
    {
        if (auto* laser = dynamic_cast<CLaser*>(&instrument))
            channels.lasers.emplace_back("LAS", laser);
    }
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
        add(entry.second);
    for (const auto& entry : lasers)
        add(entry.second);
    return sessions;
}

std::vector<SCliChannelReadings> SCliChannels::Read() const
{
    std::vector<SCliChannelReadings> readings;
    for (const auto& [label, tec] : tecs)
        readings.push_back(ReadTec(label, *tec));
    for (const auto& [label, laser] : lasers)
        readings.push_back(ReadLaser(label, *laser));
    return readings;
}

std::vector<std::pair<std::string, std::string>> SCliChannels::Capabilities() const
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& [label, tec] : tecs)
        rows.emplace_back(label, TecCapabilities(*tec));
    for (const auto& [label, laser] : lasers)
        rows.emplace_back(label, LaserCapabilities(*laser));
    return rows;
}
