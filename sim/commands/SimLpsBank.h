#pragma once

#include "physics/SimLampSupply.h"

#include <cstddef>
#include <vector>

class CSimUnit;

// The lamp channels of one simulated lamp power supply, kept in the unit as a part and run by the
// lamp-supply command set's ticker.
class CSimLpsBank
{
public:
    explicit CSimLpsBank(CSimUnit& unit);

    int Count() const { return static_cast<int>(m_channels.size()); }
    CSimLampSupply& Channel(int index) { return m_channels[static_cast<size_t>(index)]; }

    void Tick(CSimUnit& unit, double dt);

private:
    std::vector<CSimLampSupply> m_channels;
};
