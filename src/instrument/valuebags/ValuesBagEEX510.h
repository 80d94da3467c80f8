#pragma once

#include "instrument/valuebags/ValuesBagEEVer2.h"
#include "instrument/valuebags/ValuesBagMaps.h"

// Laser and TEC unit with keyed EEPROM access: both families' values.
class CValuesBagEEX510 : public CValuesBagEEVer2
{
public:
    explicit CValuesBagEEX510(CInstrBase* instrument) : CValuesBagEEVer2(instrument, ValuesBagMaps::X510()) {}
};
