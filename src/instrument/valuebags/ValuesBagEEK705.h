#pragma once

#include "instrument/valuebags/ValuesBagEEVer1.h"
#include "instrument/valuebags/ValuesBagMaps.h"

// TEC controller with address-based EEPROM access.
class CValuesBagEEK705 : public CValuesBagEEVer1
{
public:
    explicit CValuesBagEEK705(CInstrBase* instrument) : CValuesBagEEVer1(instrument, ValuesBagMaps::K705()) {}
};
