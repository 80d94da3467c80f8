#pragma once

#include "instrument/ValuesBagEE.h"

// EEPROM access by address for older firmware, through the instrument's factory memory reads and
// writes. The map's address is within the key's area: user values (sections x7) in memory area 0,
// factory values (sections x8) in area 1.
class CValuesBagEEVer1 : public CValuesBagEE
{
public:
    static constexpr int UserArea = 0;
    static constexpr int FactoryArea = 1;

    using CValuesBagEE::CValuesBagEE;

    static int GetMemoryArea(uint32_t key);
    // The bytes a write sends: at most the key's size, and for a string nothing after its first zero.
    static std::vector<uint8_t> BytesToWrite(const BAG_VARIANT& value, size_t size);

protected:
    bool ReadValue(uint32_t key, BAG_VARIANT& value) override;
    bool WriteValue(uint32_t key, const BAG_VARIANT& value) override;
};
