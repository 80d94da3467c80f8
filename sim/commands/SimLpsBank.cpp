#include "commands/SimLpsBank.h"

#include "SimUnit.h"

CSimLpsBank::CSimLpsBank(CSimUnit& unit) : m_channels(static_cast<size_t>(unit.Model().lpsChannels)) {}

void CSimLpsBank::Tick(CSimUnit& unit, double dt)
{
    for (CSimLampSupply& lamp : m_channels)
    {
        lamp.Advance(dt);
        for (int error : lamp.TakeErrors())
            unit.PushError(error);
    }
}
