#pragma once

#include "instrument/ValuesBagEEVer1.h"
#include "instrument/ValuesBagMaps.h"

// TEC controller with address-based EEPROM access.
class CValuesBagEEK705 : public CValuesBagEEVer1
{
public:
    explicit CValuesBagEEK705(CInstrBase* instrument) : CValuesBagEEVer1(instrument, ValuesBagMaps::K705()) {}
};
