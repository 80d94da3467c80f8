#pragma once

#include "physics/SimTecUnit.h"

#include <cstddef>
#include <vector>

class CSimUnit;

// The TEC channels of one simulated unit, kept in the unit as a part (CSimUnit::Part), built from the
// model's capabilities and memory map, and run by the TEC command set's ticker.
class CSimTecBank
{
public:
    explicit CSimTecBank(CSimUnit& unit);

    int Count() const { return static_cast<int>(m_channels.size()); }
    // Channel by zero-based index; callers pass the index the engine selected (always in range).
    CSimTecUnit& Channel(int index) { return m_channels[static_cast<size_t>(index)]; }

    // Runs every channel for dt seconds, applies injected sensor faults and queues the errors the
    // channels raised.
    void Tick(CSimUnit& unit, double dt);

    // The unit's configuration for a model: absolute bounds, sensors, maximum current.
    static CSimTecUnit::SConfig ConfigFor(const CSimUnit& unit);

private:
    void SyncStoredConstants(CSimUnit& unit);

    std::vector<CSimTecUnit> m_channels;
    std::vector<int> m_appliedFaults; // per channel, the ESimSensorFault last applied
    double m_sinceConstantSync = 0.0; // [s]
};
