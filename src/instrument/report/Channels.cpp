#include "instrument/report/Channels.h"

#include "instrument/lamp/LPS.h"
#include "instrument/lamp/MultiLPS.h"
#include "instrument/multi/MultiLaser.h"
#include "instrument/multi/MultiTec.h"
#include "instrument/report/ModeNames.h"

#include <algorithm>

namespace
{
// What a value shows when the last poll cycle did not refresh it: never the previous value.
constexpr const char* kUnknown = "---";

SReading Number(const char* name, const std::string& unit, double value, int precision, bool fresh = true)
{
    if (!fresh)
        return SReading{name, unit, 0.0, 0, kUnknown};
    return SReading{name, unit, value, precision, {}};
}

SReading Text(const char* name, const std::string& text, bool fresh = true)
{
    return SReading{name, {}, 0.0, 0, fresh ? text : kUnknown};
}

std::string OnOff(bool on)
{
    return on ? "on" : "off";
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

// The set point of each TEC mode in a column of its own, so a column keeps one unit: the mode's column
// holds the set point, the others are blank. While the mode is unknown, so is every one of them.
struct STecSetColumn
{
    const char* name;
    int mode;
    TecQuantity quantity;
    TecReading reading;
};

constexpr STecSetColumn kTecSetColumns[] = {{"T set", TecModeT, TecQuantityT, TecReading::TSet},
                                            {"R set", TecModeR, TecQuantityR, TecReading::RSet},
                                            {"ITE set", TecModeITE, TecQuantityITE, TecReading::ITESet}};

// "open" or "short" when the condition register says the sensor cannot be read, else empty: T and R
// would then be numbers the sensor never measured.
std::string SensorFault(CTEC& tec)
{
    if (!tec.IsFresh(TecReading::Condition))
        return {};
    const int condition = tec.GetCondition();
    if (condition & TecConditionSensorOpen)
        return "open";
    if (condition & TecConditionSensorShort)
        return "short";
    return {};
}

SChannelReadings TecReadings(const std::string& label, CTEC& tec)
{
    const int mode = tec.GetMode(false);
    const bool modeFresh = tec.IsFresh(TecReading::Mode);
    const std::string rUnit = tec.GetRUnits(tec.GetSensorType());
    // Every sensor type has a unit for R: without one the sensor type is not known yet, and a number
    // in R would have no meaning (ohms or microamperes), so it is unknown until then.
    const bool rKnown = !rUnit.empty();
    const std::string fault = SensorFault(tec);
    SChannelReadings readings{label, {}};
    if (fault.empty())
        readings.readings = {
            Number("T", "°C", tec.GetT(), tec.GetPrecision(TecQuantityT), tec.IsFresh(TecReading::T)),
            Number("R", rUnit, tec.GetR(), tec.GetPrecision(TecQuantityR),
                   rKnown && tec.IsFresh(TecReading::R))};
    else
        readings.readings = {Text("T", fault), Text("R", fault)};
    readings.readings.push_back(
        Number("ITE", "A", tec.GetITE(), tec.GetPrecision(TecQuantityITE), tec.IsFresh(TecReading::ITE)));
    readings.readings.push_back(
        Number("V", "V", tec.GetV(), tec.GetPrecision(TecQuantityV), tec.IsFresh(TecReading::V)));
    for (const STecSetColumn& column : kTecSetColumns)
    {
        const std::string unit = column.mode == TecModeR ? rUnit : column.mode == TecModeITE ? "A" : "°C";
        SReading set =
            Number(column.name, unit, tec.GetSetPoint(), tec.GetPrecision(column.quantity),
                   modeFresh && tec.IsFresh(column.reading) && (rKnown || column.mode != TecModeR));
        set.blank = modeFresh && mode != column.mode;
        readings.readings.push_back(set);
    }
    readings.readings.push_back(Text("output", OnOff(tec.GetOutput(false)), tec.IsFresh(TecReading::Output)));
    readings.readings.push_back(Text("mode", ModeNames::Tec(mode), modeFresh));
    return readings;
}

// The set point of each laser quantity in a column of its own (mA, µA, mW, V), like the TEC's.
struct SLaserSetColumn
{
    const char* name;
    const char* unit;
    int quantity; // LaserProtocol::SetPointQuantityOfMode
    LaserPollItem item;
};

constexpr SLaserSetColumn kLaserSetColumns[] = {{"LDI set", "mA", 0, LaserPollItem::LDISet},
                                                {"MDI set", "µA", 1, LaserPollItem::MDISet},
                                                {"MDP set", "mW", 2, LaserPollItem::MDPSet},
                                                {"LDV set", "V", 3, LaserPollItem::LDVSet}};
// A lamp supply sets its current in A and its voltage in V.
constexpr SLaserSetColumn kLampSetColumns[] = {{"I set", "A", 0, LaserPollItem::LDISet},
                                               {"V set", "V", 3, LaserPollItem::LDVSet}};

template <size_t N>
void AddLaserSetPoints(CLaser& laser, const SLaserSetColumn (&columns)[N], std::vector<SReading>& out)
{
    const int mode = laser.GetMode(false);
    const bool modeFresh = laser.IsFresh(LaserPollItem::Mode);
    const int quantity = LaserProtocol::SetPointQuantityOfMode(mode);
    for (const SLaserSetColumn& column : columns)
    {
        SReading set = Number(column.name, column.unit, laser.GetSetPoint(), laser.GetPrecision(mode),
                              modeFresh && laser.IsFresh(column.item));
        set.blank = modeFresh && quantity != column.quantity;
        out.push_back(set);
    }
}

// Precisions by mode: the channel class knows which quantity each mode drives (a lamp supply's own).
SChannelReadings LaserReadings(const std::string& label, CLaser& laser)
{
    const int mode = laser.GetMode(false);
    const bool modeFresh = laser.IsFresh(LaserPollItem::Mode);
    auto reading =
        [&laser](const char* name, const char* unit, float value, int precisionMode, LaserPollItem item)
    { return Number(name, unit, value, laser.GetPrecision(precisionMode), laser.IsFresh(item)); };
    SChannelReadings readings{label, {}};
    if (IsLampSupply(&laser))
    {
        readings.readings = {reading("I", "A", laser.GetLDI(false), LaserModeICW, LaserPollItem::LDI),
                             reading("V", "V", laser.GetLDV(false), LaserModeLDV, LaserPollItem::LDV)};
        AddLaserSetPoints(laser, kLampSetColumns, readings.readings);
    }
    else
    {
        readings.readings = {reading("LDI", "mA", laser.GetLDI(false), LaserModeICW, LaserPollItem::LDI),
                             reading("LDV", "V", laser.GetLDV(false), LaserModeLDV, LaserPollItem::LDV),
                             reading("MDI", "µA", laser.GetMDI(false), LaserModeMDI, LaserPollItem::MDI),
                             reading("MDP", "mW", laser.GetMDP(false), LaserModeMDP, LaserPollItem::MDP)};
        AddLaserSetPoints(laser, kLaserSetColumns, readings.readings);
    }
    readings.readings.push_back(
        Text("output", OnOff(laser.GetOutput(false)), laser.IsFresh(LaserPollItem::Output)));
    readings.readings.push_back(
        Text("mode", IsLampSupply(&laser) ? LampModeName(mode) : ModeNames::LaserShown(mode), modeFresh));
    return readings;
}

// The present channels of a multi-channel parent, numbered as the instrument numbers them.
template <class Channel, class Multi, class NumberOf>
void AddHosted(const Multi& multi, int count, const std::string& prefix, NumberOf numberOf,
               std::vector<SChannel<Channel>>& out)
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

void AddTecs(CInstrBase& instrument, std::vector<SChannel<CTEC>>& out)
{
    auto numberOf = [](CTEC& tec) { return tec.GetChannelNumber(); };
    if (auto* multi = dynamic_cast<CMultiTec*>(&instrument))
        AddHosted<CTEC>(*multi, multi->GetTecChannelCount(), "TEC", numberOf, out);
    else if (auto* tec = dynamic_cast<CTEC*>(&instrument); tec && instrument.HasTECChannel())
        out.push_back({"TEC", 1, tec});
}

void AddLasers(CInstrBase& instrument, std::vector<SChannel<CLaser>>& out)
{
    auto numberOf = [](CLaser& laser) { return laser.GetLaserChannelNumber(); };
    if (auto* lamps = dynamic_cast<CMultiLPS*>(&instrument))
        AddHosted<CLaser>(*lamps, lamps->GetLampChannelCount(), "LPS", numberOf, out);
    else if (auto* multi = dynamic_cast<CMultiLaser*>(&instrument))
        AddHosted<CLaser>(*multi, multi->GetLaserChannelCount(), "LAS", numberOf, out);
    else if (auto* laser = dynamic_cast<CLaser*>(&instrument); laser && instrument.HasLaserChannel())
        out.push_back({IsLampSupply(laser) ? "LPS" : "LAS", 1, laser});
}

} // namespace

SChannels SChannels::Of(CInstrBase& instrument)
{
    SChannels channels;
    AddTecs(instrument, channels.tecs);
    AddLasers(instrument, channels.lasers);
    if (const auto* multi = dynamic_cast<const CMultiTec*>(&instrument))
        channels.misselected += multi->GetTecMisselected();
    if (const auto* multi = dynamic_cast<const CMultiLaser*>(&instrument))
        channels.misselected += multi->GetLaserMisselected();
    if (const auto* lamps = dynamic_cast<const CMultiLPS*>(&instrument))
        channels.misselected += lamps->GetLampMisselected();
    return channels;
}

std::vector<CInstrBase*> SChannels::Sessions(CInstrBase& instrument) const
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

std::vector<SChannelReadings> SChannels::Read() const
{
    std::vector<SChannelReadings> readings;
    for (const auto& entry : tecs)
        readings.push_back(ReadOne(entry));
    for (const auto& entry : lasers)
        readings.push_back(ReadOne(entry));
    return readings;
}

SChannelReadings SChannels::ReadOne(const SChannel<CTEC>& tec)
{
    return TecReadings(tec.label, *tec.channel);
}

SChannelReadings SChannels::ReadOne(const SChannel<CLaser>& laser)
{
    return LaserReadings(laser.label, *laser.channel);
}
