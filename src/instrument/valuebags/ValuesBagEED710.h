#pragma once

#include "instrument/valuebags/ValuesBagEEVer1.h"
#include "instrument/valuebags/ValuesBagMaps.h"

// Laser driver with address-based EEPROM access; same layout as the D310.
class CValuesBagEED710 : public CValuesBagEEVer1
{
public:
    explicit CValuesBagEED710(CInstrBase* instrument) : CValuesBagEEVer1(instrument, ValuesBagMaps::D710()) {}
};
