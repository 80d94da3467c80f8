#pragma once

#include "SimErrorQueue.h"
#include "SimFaults.h"
#include "SimMemory.h"
#include "SimModel.h"

#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <typeindex>

enum class ESimFamily
{
    None,
    Tec,
    Laser,
    Lps,
};

enum class ESimSensorFault
{
    None,
    Open,  // physics: condition bit, error 402, output off
    Short, // physics: condition bit, error 415, output off
};

// The state of one simulated instrument: its model, error queue, memory, channel selection, clock,
// front-panel state and injected sensor faults, plus per-unit state of the command sets ("parts").
//
// Threading: a unit is touched only by the engine that owns it, under the engine's lock (handlers and
// tickers run under it), so nothing here locks. Faults() is the exception: atomics set from anywhere.
//
// Parts: a command set keeps its own state in the unit with Part<T>(): the first call creates T,
// from (CSimUnit&) when T has such a constructor, else default-constructed; later calls return the
// same object, e.g. `auto& tec = unit.Part<CSimTecBank>();`.
class CSimUnit
{
public:
    explicit CSimUnit(SSimModel model);
    ~CSimUnit();
    CSimUnit(const CSimUnit&) = delete;
    CSimUnit& operator=(const CSimUnit&) = delete;

    const SSimModel& Model() const { return m_model; }
    void SetSerial(const std::string& serial) { m_model.serial = serial; }

    CSimErrorQueue& Errors() { return m_errors; }
    void PushError(int number) { m_errors.Push(number); }
    CSimMemory& Memory() { return m_memory; }
    const CSimMemory& Memory() const { return m_memory; }
    SSimFaults& Faults() { return m_faults; }

    // Channels. Numbers are what the wire carries; index is zero-based (number - 1, or 0 for a single
    // channel). Count is the model's number of channel slots of the family, fitted or not.
    int ChannelCount(ESimFamily family) const;
    bool IsNumbered(ESimFamily family) const { return ChannelCount(family) > 1; }
    bool IsFitted(ESimFamily family, int number) const;
    void SetFitted(ESimFamily family, unsigned mask);
    bool Select(ESimFamily family, int number); // false: absent channel, selection unchanged
    int SelectedIndex(ESimFamily family) const;
    int SelectedNumber(ESimFamily family) const; // 0 for a single channel

    // Simulated time [s], advanced by the command registry's Advance.
    double Now() const { return m_now; }
    void AddTime(double dt) { m_now += dt; }

    // Front-panel state: "LOCAL" leaves remote operation; any other line returns to it.
    bool IsRemote() const { return m_remote; }
    void SetRemote(bool remote) { m_remote = remote; }

    ESimSensorFault SensorFault(int tecIndex) const;
    void SetSensorFault(int tecIndex, ESimSensorFault fault);

    // Identity settings that the front panel and "MESS", "BRIGHT", "REMSET" change.
    std::string message;
    int brightness = 80; // [%]
    int remoteSet = 0;
    bool terminalEcho = false; // "TERMINAL ON": every received character is sent back

    template <class T>
    T& Part()
    {
        auto found = m_parts.find(std::type_index(typeid(T)));
        if (found != m_parts.end())
            return *static_cast<T*>(found->second.get());
        std::shared_ptr<void> part;
        if constexpr (std::is_constructible_v<T, CSimUnit&>)
            part = std::make_shared<T>(*this);
        else
            part = std::make_shared<T>();
        T& result = *static_cast<T*>(part.get());
        m_parts.emplace(std::type_index(typeid(T)), std::move(part));
        return result;
    }

private:
    unsigned& FittedMask(ESimFamily family);
    unsigned FittedMask(ESimFamily family) const;

    SSimModel m_model;
    CSimErrorQueue m_errors;
    CSimMemory m_memory;
    SSimFaults m_faults;
    int m_selected[4] = {0, 0, 0, 0}; // zero-based index per ESimFamily
    double m_now = 0.0;
    bool m_remote = true;
    std::map<int, ESimSensorFault> m_sensorFaults;
    std::map<std::type_index, std::shared_ptr<void>> m_parts;
};
