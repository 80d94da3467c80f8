#include "instrument/valuebags/ValuesBag.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace
{
bool IsByteType(uint16_t type)
{
    return type == BAG_ARRAY || type == BAG_STRING;
}

// A string holding a number ("C" conventions) reads as that number, as a VARIANT would convert it;
// arrays and other text are not numbers.
bool DecodeText(const std::vector<uint8_t>& bytes, double& number)
{
    std::string text(bytes.begin(), bytes.end());
    text = text.substr(0, text.find('\0'));
    size_t first = text.find_first_not_of(' ');
    size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos)
    {
        return false;
    }
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    auto [stop, ec] = std::from_chars(begin, end, number);
    return ec == std::errc() && stop == end;
}

bool DecodeNumber(const BAG_VARIANT& value, double& number)
{
    switch (value.type)
    {
    case BAG_ARRAY:
        return false;
    case BAG_STRING:
        return DecodeText(value.bytes, number);
    case BAG_R4:
        number = static_cast<double>(value.floatValue);
        return true;
    default:
        number = static_cast<double>(value.intValue);
        return true;
    }
}

int64_t RoundToInteger(double number)
{
    return static_cast<int64_t>(std::llround(number));
}
} // namespace

bool CValuesBag::EncodeNumber(uint16_t type, double number, BAG_VARIANT& value)
{
    if (!std::isfinite(number))
    {
        return false;
    }
    value.type = type;
    if (type == BAG_R4)
    {
        if (std::fabs(number) > std::numeric_limits<float>::max())
        {
            return false;
        }
        value.floatValue = static_cast<float>(number);
        return true;
    }
    double low = 0.0;
    double high = 0.0;
    switch (type)
    {
    case BAG_UI1:
        high = 255.0;
        break;
    case BAG_UI2:
        high = 65535.0;
        break;
    case BAG_UI4:
        high = 4294967295.0;
        break;
    case BAG_I4:
        low = -2147483648.0;
        high = 2147483647.0;
        break;
    default:
        return false; // arrays and strings take no numbers
    }
    double rounded = std::round(number);
    if (rounded < low || rounded > high)
    {
        return false;
    }
    value.intValue = static_cast<int64_t>(rounded);
    return true;
}

CValuesBag::CValuesBag(CInstrBase* instrument) : m_instrument(instrument) {}

CValuesBag::~CValuesBag() = default;

void CValuesBag::SetReadOnly(bool readOnly)
{
    std::lock_guard lock(m_lock);
    m_readOnly = readOnly;
}

bool CValuesBag::IsReadOnly() const
{
    std::lock_guard lock(m_lock);
    return m_readOnly;
}

void CValuesBag::Forget()
{
    std::lock_guard lock(m_lock);
    for (auto& [key, value] : m_store)
    {
        value.valid = false;
    }
}

bool CValuesBag::HasKey(uint32_t key) const
{
    std::lock_guard lock(m_lock);
    return m_store.count(key) != 0;
}

bool CValuesBag::IsCached(uint32_t key) const
{
    std::lock_guard lock(m_lock);
    auto it = m_store.find(key);
    return it != m_store.end() && it->second.valid;
}

bool CValuesBag::ResolveType(uint32_t, uint16_t&) const
{
    return true;
}

void CValuesBag::FitToKey(uint32_t, std::vector<uint8_t>&) const {}

bool CValuesBag::ReadValue(uint32_t, BAG_VARIANT&)
{
    return false;
}

bool CValuesBag::WriteValue(uint32_t, const BAG_VARIANT&)
{
    return false;
}

bool CValuesBag::Fetch(uint32_t key, bool forceRead, BAG_VARIANT& value)
{
    if (!forceRead)
    {
        std::lock_guard lock(m_lock);
        auto it = m_store.find(key);
        if (it != m_store.end() && it->second.valid)
        {
            value = it->second;
            return true;
        }
    }
    uint16_t type = 0;
    if (!ResolveType(key, type))
    {
        return false;
    }
    BAG_VARIANT read;
    read.type = type;
    bool ok = ReadValue(key, read);
    std::lock_guard lock(m_lock);
    if (!ok)
    {
        // A failed read leaves the value absent, also when an older copy was cached.
        auto it = m_store.find(key);
        if (it != m_store.end())
        {
            it->second.valid = false;
        }
        return false;
    }
    read.valid = true;
    m_store[key] = read;
    value = std::move(read);
    return true;
}

bool CValuesBag::Store(uint32_t key, BAG_VARIANT value, bool writeThrough)
{
    if (IsReadOnly())
    {
        return false;
    }
    if (writeThrough && !WriteValue(key, value))
    {
        return false;
    }
    value.valid = true;
    std::lock_guard lock(m_lock);
    m_store[key] = std::move(value);
    return true;
}

bool CValuesBag::GetNumber(uint32_t key, bool* found, bool forceRead, double& number)
{
    BAG_VARIANT value;
    bool ok = Fetch(key, forceRead, value) && DecodeNumber(value, number);
    if (found != nullptr)
    {
        *found = ok;
    }
    if (!ok)
    {
        number = 0.0;
    }
    return ok;
}

bool CValuesBag::SetNumber(uint32_t key, uint16_t type, double number, bool writeThrough)
{
    if (!ResolveType(key, type))
    {
        return false;
    }
    BAG_VARIANT value;
    if (!EncodeNumber(type, number, value))
    {
        return false;
    }
    return Store(key, std::move(value), writeThrough);
}

uint16_t CValuesBag::GetU16(uint32_t key, bool* found, bool forceRead)
{
    double number = 0.0;
    GetNumber(key, found, forceRead, number);
    return static_cast<uint16_t>(RoundToInteger(number));
}

uint8_t CValuesBag::GetU8(uint32_t key, bool* found, bool forceRead)
{
    double number = 0.0;
    GetNumber(key, found, forceRead, number);
    return static_cast<uint8_t>(RoundToInteger(number));
}

int32_t CValuesBag::GetInt(uint32_t key, bool* found, bool forceRead)
{
    double number = 0.0;
    GetNumber(key, found, forceRead, number);
    return static_cast<int32_t>(RoundToInteger(number));
}

float CValuesBag::GetFloat(uint32_t key, bool* found, bool forceRead)
{
    double number = 0.0;
    GetNumber(key, found, forceRead, number);
    return static_cast<float>(number);
}

bool CValuesBag::GetArray(uint32_t key, std::vector<uint8_t>& bytes, bool forceRead)
{
    BAG_VARIANT value;
    if (!Fetch(key, forceRead, value) || !IsByteType(value.type))
    {
        bytes.clear();
        return false;
    }
    bytes = std::move(value.bytes);
    return true;
}

std::string CValuesBag::GetString(uint32_t key, bool* found, bool forceRead)
{
    std::vector<uint8_t> bytes;
    bool ok = GetArray(key, bytes, forceRead);
    if (found != nullptr)
    {
        *found = ok;
    }
    std::string text(bytes.begin(), bytes.end());
    return text.substr(0, text.find('\0'));
}

bool CValuesBag::SetU16(uint32_t key, uint16_t value, bool writeThrough)
{
    return SetNumber(key, BAG_UI2, value, writeThrough);
}

bool CValuesBag::SetU8(uint32_t key, uint8_t value, bool writeThrough)
{
    return SetNumber(key, BAG_UI1, value, writeThrough);
}

bool CValuesBag::SetInt(uint32_t key, int32_t value, bool writeThrough)
{
    return SetNumber(key, BAG_I4, value, writeThrough);
}

bool CValuesBag::SetFloat(uint32_t key, float value, bool writeThrough)
{
    return SetNumber(key, BAG_R4, value, writeThrough);
}

bool CValuesBag::SetArray(uint32_t key, std::span<const uint8_t> bytes, bool writeThrough)
{
    uint16_t type = BAG_ARRAY;
    if (!ResolveType(key, type) || !IsByteType(type))
    {
        return false;
    }
    BAG_VARIANT value;
    value.type = type;
    value.bytes.assign(bytes.begin(), bytes.end());
    FitToKey(key, value.bytes);
    return Store(key, std::move(value), writeThrough);
}

bool CValuesBag::SetString(uint32_t key, std::string_view text, bool writeThrough)
{
    uint16_t type = BAG_STRING;
    if (!ResolveType(key, type) || !IsByteType(type))
    {
        return false;
    }
    BAG_VARIANT value;
    value.type = type;
    value.bytes.assign(text.begin(), text.end());
    value.bytes.push_back(0);
    FitToKey(key, value.bytes);
    return Store(key, std::move(value), writeThrough);
}
