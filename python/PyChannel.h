#pragma once

#include "instrument/report/Channels.h"

#include <memory>
#include <pybind11/pybind11.h>
#include <string>
#include <utility>

class CPyUnit;

// One TEC or laser channel of a connected unit as a script sees it: its live readings (None when not
// live), its set points, mode and output written through the range checks every front end shares.
template <class Channel>
class CPyChannel
{
public:
    CPyChannel(std::shared_ptr<CPyUnit> unit, SChannel<Channel> channel)
        : m_unit(std::move(unit)), m_channel(std::move(channel))
    {
    }

    const std::string& Label() const { return m_channel.label; }
    int ChannelNumber() const { return m_channel.number; }

    // The reading named as in the monitor ("T", "LDI set"): a float, or None when it is not live, does
    // not apply in this mode or is no number (a sensor fault).
    pybind11::object Number(const char* name) const;
    // The reading as the monitor has it: float, text or None.
    pybind11::object Value(const char* name) const;
    pybind11::dict Readings() const;
    // The mode's name as Set accepts it ("T", "ICW", "LDV"); None while not live.
    pybind11::object Mode() const;

    // Through the range checks of `tamrix-cli set` with the setting's name ("tec.t", "las.output") and
    // the value as text; raises RefusedError, InstrumentError or UnconfirmedError with its texts.
    void Set(const std::string& name, const pybind11::handle& value);
    // Until the quantity the mode controls has stayed within tolerance of its set point for seconds,
    // judged on live readings from cycles that started after the call; false after timeoutS.
    bool WaitSettled(double tolerance, double seconds, double timeoutS);

private:
    SChannelReadings Read() const;

    std::shared_ptr<CPyUnit> m_unit;
    SChannel<Channel> m_channel;
};

class CTEC;
class CLaser;
extern template class CPyChannel<CTEC>;
extern template class CPyChannel<CLaser>;
