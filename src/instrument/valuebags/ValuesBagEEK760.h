#pragma once

#include "instrument/valuebags/ValuesBagEEVer2.h"
#include "instrument/valuebags/ValuesBagMaps.h"

// Multi-sensor TEC controller with keyed EEPROM access; one sensor mask per input.
class CValuesBagEEK760 : public CValuesBagEEVer2
{
public:
    explicit CValuesBagEEK760(CInstrBase* instrument) : CValuesBagEEVer2(instrument, ValuesBagMaps::K760()) {}
};
