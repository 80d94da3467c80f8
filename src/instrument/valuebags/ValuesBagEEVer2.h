#pragma once

#include "instrument/valuebags/ValuesBagEE.h"

#include <string_view>

// EEPROM access by key for newer firmware: ":GET? <key>" and ":PUT <key>,<value>" after the key's
// command prefix (for example ":TEC:USER:GET? 4653100").
class CValuesBagEEVer2 : public CValuesBagEE
{
public:
    using CValuesBagEE::CValuesBagEE;

    // Formatters and the reply parser, apart from the port so that they are checked on their own.
    static std::string FormatRead(uint32_t wireId);
    // Integers as decimal, floats as "#E" and their 32-bit pattern, arrays and strings as
    // ":PUTARRAY" with at most size bytes in hexadecimal.
    static std::string FormatWrite(uint32_t wireId, const BAG_VARIANT& value, size_t size);
    // The whole reply must be one number ("C" conventions) of the type, or hexadecimal bytes for arrays
    // and strings; value.type says which.
    static bool ParseReply(std::string_view reply, BAG_VARIANT& value);

protected:
    bool ReadValue(uint32_t key, BAG_VARIANT& value) override;
    bool WriteValue(uint32_t key, const BAG_VARIANT& value) override;
};
