#pragma once

#include "physics/SimLaserUnit.h"

#include <cstddef>
#include <vector>

class CSimUnit;

// The laser channels of one simulated unit, kept in the unit as a part, built from the model's
// capabilities and memory map, and run by the laser command set's ticker. On units that also carry
// TEC channels each laser sits on a TEC mount: its diode follows that mount's temperature and its
// "TEC off" and "TEC T limit" conditions follow that channel.
class CSimLaserBank
{
public:
    explicit CSimLaserBank(CSimUnit& unit);

    int Count() const { return static_cast<int>(m_channels.size()); }
    CSimLaserUnit& Channel(int index) { return m_channels[static_cast<size_t>(index)]; }

    void Tick(CSimUnit& unit, double dt);
    // Brings a laser's view of its TEC up to date, so that a command acts on the TEC's present state.
    void SyncTec(CSimUnit& unit, int index);

    // "SETEXTENDEDRES 1": some replies carry more decimals until switched off again.
    bool extendedResolution = false;

    static CSimLaserUnit::SConfig ConfigFor(const CSimUnit& unit);

private:
    std::vector<CSimLaserUnit> m_channels;
};
