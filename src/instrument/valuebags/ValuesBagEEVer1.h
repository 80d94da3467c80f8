#pragma once

#include "instrument/valuebags/ValuesBagEE.h"

// EEPROM access by address for older firmware, through the instrument's factory memory reads and
// writes. The map's address is within the key's memory area, which is the key's area number: 7 for
// user values, 8 for factory values.
class CValuesBagEEVer1 : public CValuesBagEE
{
public:
    using CValuesBagEE::CValuesBagEE;

    static int GetMemoryArea(uint32_t key);
    // The bytes a write sends: at most the key's size, and for a string nothing after its first zero.
    static std::vector<uint8_t> BytesToWrite(const BAG_VARIANT& value, size_t size);

protected:
    bool ReadValue(uint32_t key, BAG_VARIANT& value) override;
    bool WriteValue(uint32_t key, const BAG_VARIANT& value) override;
};
