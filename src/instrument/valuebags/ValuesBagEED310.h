#pragma once

#include "instrument/valuebags/ValuesBagEEVer1.h"
#include "instrument/valuebags/ValuesBagMaps.h"

// Laser driver with address-based EEPROM access.
class CValuesBagEED310 : public CValuesBagEEVer1
{
public:
    explicit CValuesBagEED310(CInstrBase* instrument) : CValuesBagEEVer1(instrument, ValuesBagMaps::D310()) {}
};
