#include "InstrumentModel.h"

#include "instrument/lamp/LPS.h"
#include "instrument/laser/Laser.h"
#include "instrument/report/ModeNames.h"
#include "instrument/report/ReadingFormat.h"
#include "instrument/tec/TEC.h"

#include <cmath>

namespace
{
using Type = SHomieProperty::Type;

SHomieProperty Reading(const char* id, const char* name, const std::string& unit)
{
    return SHomieProperty{id, name, Type::Float, {}, unit, false, true};
}

SHomieProperty SetPoint(const char* id, const char* name, const std::string& unit, bool settable,
                        std::string format = {})
{
    return SHomieProperty{id, name, Type::Float, std::move(format), unit, settable, true};
}

std::string Identity(std::string text)
{
    return text;
}

std::string Range(double low, double high, int decimals = 1)
{
    return ReadingFormat::Number(low, decimals) + ":" + ReadingFormat::Number(high, decimals);
}

// A limit the unit did not answer reads as CTEC::NoValue.
bool IsLimit(float value)
{
    return value != CTEC::NoValue && std::isfinite(value);
}

// The label as a topic level and a name a person reads: "TEC2" -> "tec2", "TEC 2".
std::string NodeName(const std::string& label, int number, const char* kind)
{
    return number > 0 && label.size() > 3 ? std::string(kind) + " " + std::to_string(number) : kind;
}
} // namespace

CInstrumentModel::CInstrumentModel(CInstrBase& instrument, const std::string& descriptor, bool settable)
    : m_instrument(instrument), m_channels(SChannels::Of(instrument)),
      m_device(CHomieDevice::MakeId(instrument.GetModel(), instrument.GetSerialNumber()),
               instrument.GetModel() + " S/N " + instrument.GetSerialNumber(), {})
{
    std::vector<SHomieNode> nodes{InstrumentNodeOf(descriptor)};
    for (const auto& tec : m_channels.tecs)
        AddTec(tec, settable, nodes);
    for (const auto& laser : m_channels.lasers)
        AddLaser(laser, settable, nodes);
    m_device = CHomieDevice(m_device.Id(), instrument.GetModel() + " S/N " + instrument.GetSerialNumber(),
                            std::move(nodes));
    RefreshLimits();
}

bool CInstrumentModel::RefreshLimits()
{
    bool changed = false;
    for (const SLimits& limits : m_limits)
        changed = m_device.SetFormat(limits.nodeId, limits.propertyId, limits.format()) || changed;
    return changed;
}

SHomieNode CInstrumentModel::InstrumentNodeOf(const std::string& descriptor)
{
    const std::pair<const char*, std::string> texts[] = {{"model", m_instrument.GetModel()},
                                                         {"serial-number", m_instrument.GetSerialNumber()},
                                                         {"firmware", m_instrument.GetFirmwareVersion()},
                                                         {"port", descriptor}};
    SHomieNode node{InstrumentNode, "Instrument", "instrument", {}};
    for (const auto& [id, text] : texts)
    {
        node.properties.push_back({id, id, Type::String, {}, {}, false, true});
        m_fixed.push_back({InstrumentNode, id, Identity(text)});
    }
    node.properties[1].name = "serial number";
    // Errors are events: a retained one would still be shown long after it was dealt with.
    node.properties.push_back({ErrorProperty, "error", Type::String, {}, {}, false, false});
    return node;
}

void CInstrumentModel::AddTec(const SChannel<CTEC>& channel, bool settable, std::vector<SHomieNode>& nodes)
{
    CTEC& tec = *channel.channel;
    const std::string nodeId = CHomieDevice::TopicLevel(channel.label);
    const std::string rUnit = tec.GetRUnits(tec.GetSensorType());
    SHomieNode node{nodeId, NodeName(channel.label, channel.number, "TEC"), "tec", {}};
    node.properties = {Reading("t", "temperature", "°C"),
                       Reading("r", "sensor reading", rUnit),
                       Reading("ite", "TEC current", "A"),
                       Reading("v", "TEC voltage", "V"),
                       SetPoint("t-set", "temperature set point", "°C", settable),
                       SetPoint("r-set", "sensor set point", rUnit, settable),
                       SetPoint("ite-set", "TEC current set point", "A", settable),
                       {"mode", "mode", Type::Enum, "T,R,ITE", {}, settable, true},
                       {"output", "output", Type::Boolean, {}, {}, settable, true}};
    nodes.push_back(node);
    AddTecLimits(tec, nodeId);

    auto number = [&tec](float (CTEC::*get)(), int quantity) {
        return [&tec, get, quantity]
        { return ReadingFormat::Number((tec.*get)(), tec.GetPrecision(quantity)); };
    };
    auto reading = [&tec](float (CTEC::*get)(bool, int), int quantity)
    {
        return [&tec, get, quantity]
        { return ReadingFormat::Number((tec.*get)(false, -1), tec.GetPrecision(quantity)); };
    };
    auto plain = [&tec](float (CTEC::*get)(bool), int quantity)
    {
        return [&tec, get, quantity]
        { return ReadingFormat::Number((tec.*get)(false), tec.GetPrecision(quantity)); };
    };
    const SSetTarget target{&tec, nullptr, &m_instrument};
    // Only what the poll has read lately is published: a value past its age reads as no value.
    auto add = [&](const char* id, TecReading item, std::function<std::string()> read, const char* setting)
    {
        auto live = [&tec, item, read = std::move(read)] { return tec.IsFresh(item) ? read() : "---"; };
        m_entries.push_back({nodeId, id, std::move(live), setting, target, Identity});
    };
    add("t", TecReading::T, reading(&CTEC::GetT, TecQuantityT), "");
    add("r", TecReading::R, reading(&CTEC::GetR, TecQuantityR), "");
    add("ite", TecReading::ITE, plain(&CTEC::GetITE, TecQuantityITE), "");
    add("v", TecReading::V, plain(&CTEC::GetV, TecQuantityV), "");
    add("t-set", TecReading::TSet, number(&CTEC::GetTSetPoint, TecQuantityT), "tec.t");
    add("r-set", TecReading::RSet, number(&CTEC::GetRSetPoint, TecQuantityR), "tec.r");
    add("ite-set", TecReading::ITESet, number(&CTEC::GetITESetPoint, TecQuantityITE), "tec.ite");
    add(
        "mode", TecReading::Mode, [&tec] { return ModeNames::Tec(tec.GetMode(false)); }, "tec.mode");
    add(
        "output", TecReading::Output, [&tec] { return std::string(tec.GetOutput(false) ? "true" : "false"); },
        "tec.output");
}

void CInstrumentModel::AddTecLimits(CTEC& tec, const std::string& nodeId)
{
    // What the unit itself takes, so that a dashboard offers no value it would refuse; the sensor's
    // whole range only when the unit does not say.
    m_limits.push_back({nodeId, "t-set",
                        [&tec]
                        {
                            const float low = tec.GetTLowLimit(-1);
                            const float high = tec.GetTHighLimit(-1);
                            return IsLimit(low) && IsLimit(high) && low <= high
                                       ? Range(low, high)
                                       : Range(tec.GetMinT(), tec.GetMaxT());
                        }});
    m_limits.push_back({nodeId, "r-set",
                        [&tec]
                        {
                            const float low = tec.GetRLowLimit();
                            const float high = tec.GetRHighLimit();
                            return IsLimit(low) && IsLimit(high) && low <= high
                                       ? Range(low, high, tec.GetPrecision(TecQuantityR))
                                       : std::string();
                        }});
    // The current set point may have either sign; the limit bounds its size.
    m_limits.push_back({nodeId, "ite-set",
                        [&tec]
                        {
                            const float limit = tec.GetITELimit();
                            return IsLimit(limit) && limit > 0
                                       ? Range(-limit, limit, tec.GetPrecision(TecQuantityITE))
                                       : std::string();
                        }});
}

void CInstrumentModel::AddLaser(const SChannel<CLaser>& channel, bool settable,
                                std::vector<SHomieNode>& nodes)
{
    CLaser& laser = *channel.channel;
    const bool lamp = dynamic_cast<CLPS*>(&laser) != nullptr;
    const std::string nodeId = CHomieDevice::TopicLevel(channel.label);
    const SSetTarget target{nullptr, &laser, &m_instrument};
    SHomieNode node{nodeId,
                    NodeName(channel.label, channel.number, lamp ? "Lamp supply" : "Laser"),
                    lamp ? "lamp-supply" : "laser",
                    {}};

    auto reading = [&laser](float (CLaser::*get)(bool), int mode)
    {
        return [&laser, get, mode]
        { return ReadingFormat::Number((laser.*get)(false), laser.GetPrecision(mode)); };
    };
    auto setPoint = [&laser](float (CLaser::*get)(), int mode) {
        return [&laser, get, mode]
        { return ReadingFormat::Number((laser.*get)(), laser.GetPrecision(mode)); };
    };
    // Only what the poll has read lately is published: a value past its age reads as no value.
    auto add = [&](SHomieProperty property, LaserPollItem item, std::function<std::string()> read,
                   const char* setting)
    {
        auto live = [&laser, item, read = std::move(read)] { return laser.IsFresh(item) ? read() : "---"; };
        m_entries.push_back({nodeId, property.id, std::move(live), setting, target, Identity});
        node.properties.push_back(std::move(property));
    };
    if (lamp)
    {
        add(Reading("i", "current", "A"), LaserPollItem::LDI, reading(&CLaser::GetLDI, LaserModeICW), "");
        add(Reading("v", "voltage", "V"), LaserPollItem::LDV, reading(&CLaser::GetLDV, LaserModeLDV), "");
        add(SetPoint("i-set", "current set point", "A", settable), LaserPollItem::LDISet,
            setPoint(&CLaser::GetLDISetPoint, LaserModeICW), "las.ldi");
        add(SetPoint("v-set", "voltage set point", "V", settable), LaserPollItem::LDVSet,
            setPoint(&CLaser::GetLDVSetPoint, LaserModeLDV), "las.ldv");
        // A lamp supply calls its two modes I and V; the setter knows them as ICW and LDV.
        add(
            {"mode", "mode", Type::Enum, "I,V", {}, settable, true}, LaserPollItem::Mode,
            [&laser]
            {
                const int mode = laser.GetMode(false);
                return std::string(mode == LaserModeICW ? "I" : mode == LaserModeLDV ? "V" : "---");
            },
            "las.mode");
        m_entries.back().settingValue = [](const std::string& value) { return value == "I" ? "ICW" : "LDV"; };
    }
    else
    {
        add(Reading("ldi", "diode current", "mA"), LaserPollItem::LDI, reading(&CLaser::GetLDI, LaserModeICW),
            "");
        add(Reading("ldv", "diode voltage", "V"), LaserPollItem::LDV, reading(&CLaser::GetLDV, LaserModeLDV),
            "");
        add(Reading("mdi", "photodiode current", "µA"), LaserPollItem::MDI,
            reading(&CLaser::GetMDI, LaserModeMDI), "");
        add(Reading("mdp", "photodiode power", "mW"), LaserPollItem::MDP,
            reading(&CLaser::GetMDP, LaserModeMDP), "");
        add(SetPoint("ldi-set", "diode current set point", "mA", settable), LaserPollItem::LDISet,
            setPoint(&CLaser::GetLDISetPoint, LaserModeICW), "las.ldi");
        add(SetPoint("ldv-set", "diode voltage set point", "V", settable), LaserPollItem::LDVSet,
            setPoint(&CLaser::GetLDVSetPoint, LaserModeLDV), "las.ldv");
        add(SetPoint("mdi-set", "photodiode current set point", "µA", settable), LaserPollItem::MDISet,
            setPoint(&CLaser::GetMDISetPoint, LaserModeMDI), "las.mdi");
        add(SetPoint("mdp-set", "photodiode power set point", "mW", settable), LaserPollItem::MDPSet,
            setPoint(&CLaser::GetMDPSetPoint, LaserModeMDP), "las.mdp");
        std::string modes;
        for (int mode = LaserModeICW; mode <= LaserModeLDV; ++mode)
        {
            if (laser.IsModeSupported(mode))
                modes += (modes.empty() ? "" : ",") + ModeNames::Laser(mode);
        }
        // A channel that names no modes of its own leaves the choice to its setter, as tamrix-cli does.
        if (modes.empty())
            modes = "ICW,IHBW,PULSE,TRIG,BURST,MDI,MDP,LDV";
        add(
            {"mode", "mode", Type::Enum, modes, {}, settable, true}, LaserPollItem::Mode,
            [&laser] { return ModeNames::Laser(laser.GetMode(false)); }, "las.mode");
    }
    add(
        {"output", "output", Type::Boolean, {}, {}, settable, true}, LaserPollItem::Output,
        [&laser] { return std::string(laser.GetOutput(false) ? "true" : "false"); }, "las.output");
    nodes.push_back(std::move(node));
}

bool CInstrumentModel::Fresh() const
{
    for (CInstrBase* session : m_channels.Sessions(m_instrument))
    {
        if (session->GetFailedPolls() != 0 || session->GetSilentForMs() > 0)
            return false;
    }
    return true;
}

bool CInstrumentModel::Lost() const
{
    for (CInstrBase* session : m_channels.Sessions(m_instrument))
    {
        if (session->GetFailedPolls() > 1)
            return true;
    }
    return false;
}

std::vector<CInstrumentModel::SValue> CInstrumentModel::Read() const
{
    std::vector<SValue> values = m_fixed;
    for (const SEntry& entry : m_entries)
    {
        std::string payload = entry.read();
        // "---": the no-value mark or a mode the instrument did not report; never sent as a value.
        if (payload != "---" && payload != "?")
            values.push_back({entry.nodeId, entry.propertyId, std::move(payload)});
    }
    return values;
}

bool CInstrumentModel::Setting(const std::string& nodeId, const std::string& propertyId,
                               const std::string& value, std::string& name, std::string& settingValue,
                               SSetTarget& target) const
{
    for (const SEntry& entry : m_entries)
    {
        if (entry.nodeId != nodeId || entry.propertyId != propertyId || entry.setting.empty())
            continue;
        name = entry.setting;
        settingValue = entry.settingValue(value);
        target = entry.target;
        return true;
    }
    return false;
}

std::vector<std::string> CInstrumentModel::TakeErrors() const
{
    std::vector<std::string> errors;
    for (CInstrBase* session : m_channels.Sessions(m_instrument))
    {
        // The session's own list: a multi-channel parent's count also sums its channels.
        while (session->CInstrBase::GetErrorCount() > 0)
        {
            const CErrorMsg error = session->CInstrBase::GetError(0, true);
            errors.push_back(std::to_string(error.GetNumber()) + " " + error.GetText());
        }
    }
    return errors;
}
