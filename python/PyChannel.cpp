#include "PyChannel.h"

#include "PyErrors.h"
#include "PyReadings.h"
#include "PyUnit.h"
#include "PyWait.h"
#include "instrument/control/SetTarget.h"
#include "instrument/laser/Laser.h"
#include "instrument/report/ModeNames.h"
#include "instrument/tec/TEC.h"

#include <chrono>
#include <cmath>
#include <optional>
#include <string_view>
#include <type_traits>

namespace py = pybind11;

namespace
{
const SReading* FindExactly(const SChannelReadings& readings, const std::string& name)
{
    for (const SReading& reading : readings.readings)
    {
        if (reading.name == name)
            return &reading;
    }
    return nullptr;
}

// A lamp supply names its current and voltage "I" and "V" (in A and V); a script reads them as a laser's.
const SReading* Find(const SChannelReadings& readings, const std::string& name)
{
    if (const SReading* reading = FindExactly(readings, name))
        return reading;
    static const std::pair<const char*, const char*> kLamp[] = {
        {"LDI", "I"}, {"LDV", "V"}, {"LDI set", "I set"}, {"LDV set", "V set"}};
    for (const auto& [laser, lamp] : kLamp)
    {
        if (name == laser)
            return FindExactly(readings, lamp);
    }
    return nullptr;
}

std::optional<double> NumberOf(const SChannelReadings& readings, const std::string& name)
{
    const SReading* reading = Find(readings, name);
    if (!reading || reading->blank || !reading->text.empty())
        return std::nullopt;
    return reading->value;
}

// A Python value as `tamrix-cli set` would have it typed: True/False as on/off, numbers as Python
// prints them, text as it is.
std::string AsTyped(const py::handle& value)
{
    if (py::isinstance<py::bool_>(value))
        return value.cast<bool>() ? "on" : "off";
    if (py::isinstance<py::str>(value))
        return value.cast<std::string>();
    if (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value))
        return py::str(value).cast<std::string>();
    throw py::type_error("a setting takes a number, a bool or a text, not " +
                         py::str(py::type::of(value)).cast<std::string>());
}

template <class Channel>
SSetTarget TargetOf(Channel* channel, CInstrBase& instrument)
{
    SSetTarget target;
    if constexpr (std::is_same_v<Channel, CTEC>)
        target.tec = channel;
    else
        target.laser = channel;
    target.poller = &instrument;
    return target;
}

// As `tamrix-cli set` ends: the refusal's lines and the outcome, or nothing when it was done.
void RaiseFor(const SSetting& setting, const std::string& typed, const SSetTarget::SResult& result)
{
    const std::string outcome = SSetTarget::Describe(setting, typed, result);
    switch (result.state)
    {
    case SSetTarget::EState::Done:
        return;
    case SSetTarget::EState::Unconfirmed:
        if (!result.held)
            PyErrors::ThrowUnconfirmed(outcome);
        if (!result.heldAsRequested)
            PyErrors::ThrowInstrument(outcome);
        return;
    case SSetTarget::EState::Refused:
        PyErrors::ThrowInstrument(outcome);
    case SSetTarget::EState::NotSent:
        break;
    }
    std::string text;
    for (const std::string& line : result.refusal)
        text += line + "\n";
    PyErrors::ThrowRefused(text + outcome);
}

// The set point the channel's mode drives ("T set"), with its reading's name ("T"): the one set-point
// column the mode leaves shown. None while the mode or the set point is not live.
const SReading* LiveSetPoint(const SChannelReadings& readings, std::string& readingName)
{
    constexpr std::string_view suffix = " set";
    for (const SReading& reading : readings.readings)
    {
        if (!reading.blank && reading.text.empty() && reading.name.ends_with(suffix))
        {
            readingName = reading.name.substr(0, reading.name.size() - suffix.size());
            return &reading;
        }
    }
    return nullptr;
}

std::string ModeOf(CTEC& tec)
{
    return tec.IsFresh(TecReading::Mode) ? ModeNames::Tec(tec.GetMode(false)) : "";
}

std::string ModeOf(CLaser& laser)
{
    return laser.IsFresh(LaserPollItem::Mode) ? ModeNames::Laser(laser.GetMode(false)) : "";
}
} // namespace

template <class Channel>
SChannelReadings CPyChannel<Channel>::Read() const
{
    return m_unit->Peek([this](CInstrBase&) { return SChannels::ReadOne(m_channel); });
}

template <class Channel>
py::object CPyChannel<Channel>::Number(const char* name) const
{
    const auto value = NumberOf(Read(), name);
    return value ? py::object(py::float_(*value)) : py::object(py::none());
}

template <class Channel>
py::object CPyChannel<Channel>::Value(const char* name) const
{
    const SChannelReadings readings = Read();
    const SReading* reading = Find(readings, name);
    return reading ? SPyReadings::Value(*reading) : py::object(py::none());
}

template <class Channel>
py::dict CPyChannel<Channel>::Readings() const
{
    return SPyReadings::Dict(Read());
}

template <class Channel>
py::object CPyChannel<Channel>::Mode() const
{
    const std::string mode = m_unit->Peek([this](CInstrBase&) { return ModeOf(*m_channel.channel); });
    return mode.empty() || mode == "?" ? py::object(py::none()) : py::object(py::str(mode));
}

template <class Channel>
void CPyChannel<Channel>::Set(const std::string& name, const py::handle& value)
{
    const std::string typed = AsTyped(value);
    std::string message;
    const auto setting = ParseSetting(name, typed, message);
    if (!setting)
        PyErrors::ThrowRefused(message);
    SSetTarget::SResult result;
    const bool connected =
        m_unit->WithInstrument([this, &setting, &result](CInstrBase& instrument)
                               { result = TargetOf(m_channel.channel, instrument).Apply(*setting); });
    if (!connected)
        PyErrors::ThrowNotConnected();
    RaiseFor(*setting, typed, result);
}

template <class Channel>
bool CPyChannel<Channel>::WaitSettled(double tolerance, double seconds, double timeoutS)
{
    if (!(tolerance >= 0) || !(seconds >= 0))
        throw py::value_error("tolerance and seconds must be numbers of 0 or more");
    using Clock = std::chrono::steady_clock;
    // The cycle running now may have read the set point before the call.
    const uint64_t firstCycle = m_unit->Cycles() + 2;
    std::optional<Clock::time_point> holdingSince;
    return PyWait::Until(
        [&]
        {
            if (m_unit->Cycles() < firstCycle)
                return false;
            const SChannelReadings readings = Read();
            std::string readingName;
            const SReading* setPoint = LiveSetPoint(readings, readingName);
            const auto value = setPoint ? NumberOf(readings, readingName) : std::nullopt;
            // A reading that is not live breaks the hold: the unit might have left the band meanwhile.
            if (!value || std::fabs(*value - setPoint->value) > tolerance)
            {
                holdingSince.reset();
                return false;
            }
            const auto now = Clock::now();
            if (!holdingSince)
                holdingSince = now;
            return now - *holdingSince >= std::chrono::duration<double>(seconds);
        },
        timeoutS, m_unit->CycleBlock());
}

template class CPyChannel<CTEC>;
template class CPyChannel<CLaser>;
