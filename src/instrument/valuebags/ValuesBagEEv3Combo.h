#pragma once

#include "instrument/valuebags/ValuesBagEEVer2.h"
#include "instrument/valuebags/ValuesBagMaps.h"

// Third-generation laser and TEC units with keyed EEPROM access; the X510 layout.
class CValuesBagEEv3Combo : public CValuesBagEEVer2
{
public:
    explicit CValuesBagEEv3Combo(CInstrBase* instrument)
        : CValuesBagEEVer2(instrument, ValuesBagMaps::V3Combo())
    {
    }
};
