#include "PyUnit.h"

#include "PyErrors.h"
#include "PyWait.h"
#include "instrument/session/InstrBase.h"

#include <cmath>
#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace
{
[[noreturn]] void Raise(EConnectResult result, const std::string& message)
{
    if (result == EConnectResult::BadDescriptor)
        throw py::value_error(message);
    PyErrors::ThrowConnect(message);
}

int PeriodMs(double periodS)
{
    if (!std::isfinite(periodS) || periodS * 1000.0 < CInstrBase::MinPollPeriodMs || periodS > 3600)
        throw py::value_error("period needs a number of seconds from 0.01 to 3600");
    return static_cast<int>(std::lround(periodS * 1000.0));
}
} // namespace

CPyUnit::~CPyUnit()
{
    // The last reference may go on any thread holding the GIL; the poll thread must not wait for it.
    py::gil_scoped_release unlocked;
    m_connection.Close();
}

SIdentRecord CPyUnit::Detect(const std::string& descriptor)
{
    SIdentRecord record;
    std::string message;
    EConnectResult result = EConnectResult::Ok;
    {
        py::gil_scoped_release unlocked;
        result = CUnitConnection::Detect(descriptor, record, message);
    }
    if (result != EConnectResult::Ok)
        Raise(result, message);
    return record;
}

std::shared_ptr<CPyUnit> CPyUnit::Connect(const std::string& descriptor, double periodS)
{
    const int periodMs = PeriodMs(periodS);
    std::shared_ptr<CPyUnit> unit(new CPyUnit());
    unit->m_descriptor = descriptor;
    std::string message;
    EConnectResult result = EConnectResult::Ok;
    {
        py::gil_scoped_release unlocked;
        result = unit->m_connection.Open(descriptor, message);
        if (result == EConnectResult::Ok)
        {
            unit->m_channels = SChannels::Of(unit->Instrument());
            // A unit that answered its channel selections with other channels' numbers cannot be
            // addressed: its channel list would be a guess.
            if (unit->m_channels.misselected > 0)
            {
                unit->m_connection.Close();
                result = EConnectResult::NoInstrument;
                message = "channel selection failed: the instrument answered " +
                          std::to_string(unit->m_channels.misselected) +
                          " channel selection(s) with another channel's number";
            }
            else
            {
                unit->Instrument().SetCycleListener([signal = &unit->m_cycleSignal] { signal->Notify(); });
                unit->Instrument().StartBackgroundThread(periodMs);
            }
        }
    }
    if (result != EConnectResult::Ok)
        Raise(result, message);
    unit->m_connected.store(true);
    return unit;
}

void CPyUnit::Disconnect()
{
    py::gil_scoped_release unlocked;
    std::unique_lock<std::shared_mutex> alone(m_use);
    if (m_connected.exchange(false))
        m_connection.Close();
    m_cycleSignal.Notify(); // waits in other threads look again, and find the unit gone
}

bool CPyUnit::WithInstrument(const std::function<void(CInstrBase&)>& work)
{
    {
        // The lock is taken and given back without the GIL: a thread waiting for the GIL while holding
        // it would block Disconnect, and Disconnect everyone queued behind it.
        py::gil_scoped_release unlocked;
        std::shared_lock<std::shared_mutex> use(m_use);
        if (m_connected.load())
        {
            work(Instrument());
            return true;
        }
    }
    return false;
}

void CPyUnit::ThrowNotConnected()
{
    PyErrors::ThrowNotConnected();
}

std::string CPyUnit::Model()
{
    std::string text;
    if (!WithInstrument([&text](CInstrBase& instrument) { text = instrument.GetModel(); }))
        PyErrors::ThrowNotConnected();
    return text;
}

std::string CPyUnit::SerialNumber()
{
    std::string text;
    if (!WithInstrument([&text](CInstrBase& instrument) { text = instrument.GetSerialNumber(); }))
        PyErrors::ThrowNotConnected();
    return text;
}

std::string CPyUnit::Firmware()
{
    std::string text;
    if (!WithInstrument([&text](CInstrBase& instrument) { text = instrument.GetFirmwareVersion(); }))
        PyErrors::ThrowNotConnected();
    return text;
}

std::vector<std::pair<int, std::string>> CPyUnit::TakeErrors()
{
    std::vector<std::pair<int, std::string>> errors;
    const bool connected = WithInstrument(
        [this, &errors](CInstrBase& instrument)
        {
            // The session's own list: a multi-channel parent's count also sums its channels.
            for (CInstrBase* session : m_channels.Sessions(instrument))
            {
                while (session->CInstrBase::GetErrorCount() > 0)
                {
                    const CErrorMsg error = session->CInstrBase::GetError(0, true);
                    errors.emplace_back(error.GetNumber(), error.GetText());
                }
            }
        });
    if (!connected)
        PyErrors::ThrowNotConnected();
    return errors;
}

uint64_t CPyUnit::Cycles() const
{
    return Peek([](CInstrBase& instrument) { return instrument.GetCompletedCycles(); });
}

bool CPyUnit::WaitFresh(double timeoutS)
{
    // The cycle running now may have read its values before the call: one more must end after it.
    const uint64_t wanted = Cycles() + 2;
    return PyWait::Until([this, wanted] { return Cycles() >= wanted; }, timeoutS, CycleBlock());
}

PyWait::Block CPyUnit::CycleBlock() const
{
    return [this, seen = m_cycleSignal.Count()](int timeoutMs) mutable
    { seen = m_cycleSignal.WaitPast(seen, timeoutMs); };
}

SPyReadings CPyUnit::Read() const
{
    return Peek(
        [this](CInstrBase&) {
            return SPyReadings{std::chrono::system_clock::now(), m_channels.Read()};
        });
}

void CPyUnit::SetPeriod(double periodS)
{
    const int periodMs = PeriodMs(periodS);
    Peek(
        [periodMs](CInstrBase& instrument)
        {
            instrument.SetPollPeriodMs(periodMs);
            return 0;
        });
}

double CPyUnit::PeriodS() const
{
    return Peek([](CInstrBase& instrument) { return instrument.GetPollPeriodMs() / 1000.0; });
}
