#pragma once

#include "instrument/valuebags/ValuesBagEEVer2.h"
#include "instrument/valuebags/ValuesBagMaps.h"

// Two-range laser driver with keyed EEPROM access; keeps the range selection 0x370016.
class CValuesBagEED312 : public CValuesBagEEVer2
{
public:
    explicit CValuesBagEED312(CInstrBase* instrument) : CValuesBagEEVer2(instrument, ValuesBagMaps::D312()) {}
};
