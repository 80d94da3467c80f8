#pragma once

#include "instrument/valuebags/ValuesBagEEVer1.h"
#include "instrument/valuebags/ValuesBagMaps.h"

// TEC controller with address-based EEPROM access; adds its capability word 0x470032.
class CValuesBagEEK910 : public CValuesBagEEVer1
{
public:
    explicit CValuesBagEEK910(CInstrBase* instrument) : CValuesBagEEVer1(instrument, ValuesBagMaps::K910()) {}
};
