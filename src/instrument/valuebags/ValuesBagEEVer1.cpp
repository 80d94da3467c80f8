#include "instrument/valuebags/ValuesBagEEVer1.h"

#include "instrument/session/InstrBase.h"

#include <algorithm>

int CValuesBagEEVer1::GetMemoryArea(uint32_t key)
{
    return static_cast<int>((key >> 16) & 0xF);
}

std::vector<uint8_t> CValuesBagEEVer1::BytesToWrite(const BAG_VARIANT& value, size_t size)
{
    size_t length = std::min(size, value.bytes.size());
    if (value.type == BAG_STRING)
    {
        auto zero = std::find(value.bytes.begin(), value.bytes.begin() + length, 0);
        if (zero != value.bytes.begin() + length)
        {
            length = static_cast<size_t>(zero - value.bytes.begin()) + 1;
        }
    }
    return std::vector<uint8_t>(value.bytes.begin(), value.bytes.begin() + length);
}

bool CValuesBagEEVer1::ReadValue(uint32_t key, BAG_VARIANT& value)
{
    SBagKeyInfo info;
    if (!IsInstrumentConnected() || !LookupKey(key, info))
    {
        return false;
    }
    CInstrBase& instrument = *GetInstrument();
    const int area = GetMemoryArea(key);
    switch (info.type)
    {
    case BAG_UI1:
    {
        uint8_t number = 0;
        if (!instrument.ReadMemoryU8(info.address, area, number))
        {
            return false;
        }
        value.intValue = number;
        return true;
    }
    case BAG_UI2:
    {
        uint16_t number = 0;
        if (!instrument.ReadMemoryU16(info.address, area, number, info.swap))
        {
            return false;
        }
        value.intValue = number;
        return true;
    }
    case BAG_UI4:
    case BAG_I4:
    {
        uint32_t number = 0;
        if (!instrument.ReadMemoryU32(info.address, area, number, info.swap))
        {
            return false;
        }
        value.intValue = info.type == BAG_I4 ? static_cast<int64_t>(static_cast<int32_t>(number)) : number;
        return true;
    }
    case BAG_R4:
        return instrument.ReadMemoryFloat(info.address, area, value.floatValue, info.swap);
    case BAG_ARRAY:
    case BAG_STRING:
        return instrument.ReadMemoryBlock(info.address, info.size, area, value.bytes);
    default:
        return false;
    }
}

bool CValuesBagEEVer1::WriteValue(uint32_t key, const BAG_VARIANT& value)
{
    SBagKeyInfo info;
    if (!IsInstrumentConnected() || !LookupKey(key, info))
    {
        return false;
    }
    CInstrBase& instrument = *GetInstrument();
    const int area = GetMemoryArea(key);
    switch (info.type)
    {
    case BAG_UI1:
        return instrument.WriteMemoryU8(info.address, area, static_cast<uint8_t>(value.intValue));
    case BAG_UI2:
        return instrument.WriteMemoryU16(info.address, area, static_cast<uint16_t>(value.intValue),
                                         info.swap);
    case BAG_UI4:
    case BAG_I4:
        return instrument.WriteMemoryU32(info.address, area, static_cast<uint32_t>(value.intValue),
                                         info.swap);
    case BAG_R4:
        return instrument.WriteMemoryFloat(info.address, area, value.floatValue, info.swap);
    case BAG_ARRAY:
    case BAG_STRING:
        return instrument.WriteMemoryBlock(info.address, BytesToWrite(value, info.size), area);
    default:
        return false;
    }
}
