#pragma once

#include "PyCycleSignal.h"
#include "PyReadings.h"
#include "PyWait.h"
#include "instrument/control/UnitConnection.h"
#include "instrument/report/Channels.h"
#include "instrument/session/IdentRecord.h"

#include <atomic>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

class CInstrBase;

// One connected instrument as a script holds it: connected as every front end connects (open test,
// detection, the model's class, Connect), polled in the background, disconnected (LOCAL) on
// Disconnect or when the last reference goes. Channels and iterators share ownership, so none of them
// outlives the instrument object.
//
// Every method is called with the GIL held and releases it around anything that talks to the unit.
class CPyUnit
{
public:
    ~CPyUnit();
    CPyUnit(const CPyUnit&) = delete;
    CPyUnit& operator=(const CPyUnit&) = delete;

    // Raises ConnectError (with the program's own texts) or ValueError for a malformed descriptor.
    static std::shared_ptr<CPyUnit> Connect(const std::string& descriptor, double periodS);
    // The open test and detection alone; raises as Connect does.
    static SIdentRecord Detect(const std::string& descriptor);

    // Stops polling, sends LOCAL and closes the port; a second call does nothing.
    void Disconnect();
    // Polls every periodS seconds from the next cycle on; ValueError outside 0.01 to 3600 s.
    void SetPeriod(double periodS);
    bool IsConnected() const { return m_connected.load(); }
    const std::string& Descriptor() const { return m_descriptor; }

    // Runs work with the GIL released and the instrument held for it, so that Disconnect waits for it
    // to end; false (nothing run) once the unit is disconnected. Call with the GIL held.
    bool WithInstrument(const std::function<void(CInstrBase&)>& work);
    // Runs look (quick: cached values only, no waiting) with the instrument held and the GIL kept; raises
    // NotConnectedError once the unit is disconnected, when the instrument object is gone.
    template <class Look>
    auto Peek(Look look) const
    {
        std::shared_lock<std::shared_mutex> use(m_use);
        if (!m_connected.load())
            ThrowNotConnected();
        return look(Instrument());
    }
    void RequireConnected() const
    {
        Peek([](CInstrBase&) { return 0; });
    }
    // Only under WithInstrument or Peek: the object goes with Disconnect.
    CInstrBase& Instrument() const { return m_connection.Instrument(); }
    const SChannels& Channels() const { return m_channels; }

    std::string Model();
    std::string SerialNumber();
    std::string Firmware();
    // Every error the instrument and its channels collected since the last call, oldest first; they are
    // removed from the lists.
    std::vector<std::pair<int, std::string>> TakeErrors();
    // Poll cycles completed so far (GIL held).
    uint64_t Cycles() const;
    // Until a poll cycle that started after the call has completed; false after timeoutS.
    bool WaitFresh(double timeoutS);
    // For PyWait::Until: returns once a poll cycle has ended since it last returned (or since it was
    // made), the unit was disconnected, or the given time has passed.
    PyWait::Block CycleBlock() const;
    SPyReadings Read() const;
    double PeriodS() const;

private:
    CPyUnit() = default;
    [[noreturn]] static void ThrowNotConnected();

    CUnitConnection m_connection;
    SChannels m_channels;
    std::string m_descriptor;
    std::atomic<bool> m_connected{false};
    CPyCycleSignal m_cycleSignal;
    mutable std::shared_mutex m_use;
};
