#include "SimMemory.h"

#include <cmath>
#include <cstring>

namespace
{
bool IsNumeric(int type)
{
    return type == kSimI32 || type == kSimF32 || type == kSimU8 || type == kSimU16 || type == kSimU32;
}

// Largest value an unsigned type of the key's size can hold.
double UnsignedMax(const SSimKeyDef& def)
{
    switch (def.type)
    {
    case kSimU8:
        return 255.0;
    case kSimU16:
        return 65535.0;
    default:
        return 4294967295.0;
    }
}

int NumericWidth(int type)
{
    switch (type)
    {
    case kSimU8:
        return 1;
    case kSimU16:
        return 2;
    default:
        return 4;
    }
}
} // namespace

CSimMemory::CSimMemory(const std::vector<SSimKeyDef>& keys)
    : m_user(kAreaSize, 0xFF), m_factory(kAreaSize, 0xFF)
{
    for (const SSimKeyDef& def : keys)
    {
        m_keys[def.key] = def;
        if (IsNumeric(def.type))
            SetNumber(def.key, def.number);
        else
        {
            std::vector<uint8_t> bytes;
            if (def.text)
                bytes.assign(def.text, def.text + std::strlen(def.text));
            SetBytes(def.key, bytes);
        }
    }
}

const SSimKeyDef* CSimMemory::Find(uint32_t key) const
{
    const auto found = m_keys.find(key);
    return found == m_keys.end() ? nullptr : &found->second;
}

std::vector<uint8_t>* CSimMemory::AreaBytes(int area)
{
    return area == kUserArea ? &m_user : area == kFactoryArea ? &m_factory : nullptr;
}

const std::vector<uint8_t>* CSimMemory::AreaBytes(int area) const
{
    return area == kUserArea ? &m_user : area == kFactoryArea ? &m_factory : nullptr;
}

void CSimMemory::Store(const SSimKeyDef& def, uint64_t bits)
{
    std::vector<uint8_t>& bytes = *AreaBytes(AreaOfKey(def.key));
    const int width = NumericWidth(def.type);
    for (int i = 0; i < width; ++i)
        bytes[def.address + i] = static_cast<uint8_t>(bits >> (8 * i));
}

uint64_t CSimMemory::Load(const SSimKeyDef& def) const
{
    const std::vector<uint8_t>& bytes = *AreaBytes(AreaOfKey(def.key));
    const int width = NumericWidth(def.type);
    uint64_t bits = 0;
    for (int i = 0; i < width; ++i)
        bits |= static_cast<uint64_t>(bytes[def.address + i]) << (8 * i);
    return bits;
}

std::optional<double> CSimMemory::GetNumber(uint32_t key) const
{
    const SSimKeyDef* def = Find(key);
    if (!def || !IsNumeric(def->type) || !AreaBytes(AreaOfKey(key)))
        return std::nullopt;
    const uint64_t bits = Load(*def);
    if (def->type == kSimF32)
    {
        const uint32_t word = static_cast<uint32_t>(bits);
        float value;
        std::memcpy(&value, &word, sizeof value);
        return value;
    }
    if (def->type == kSimI32)
        return static_cast<int32_t>(static_cast<uint32_t>(bits));
    return static_cast<double>(bits);
}

bool CSimMemory::SetNumber(uint32_t key, double value)
{
    const SSimKeyDef* def = Find(key);
    if (!def || !IsNumeric(def->type) || !AreaBytes(AreaOfKey(key)) || !std::isfinite(value))
        return false;
    if (def->type == kSimF32)
    {
        const float narrow = static_cast<float>(value);
        uint32_t word;
        std::memcpy(&word, &narrow, sizeof word);
        Store(*def, word);
        return true;
    }
    if (value != std::floor(value))
        return false;
    if (def->type == kSimI32)
    {
        if (value < -2147483648.0 || value > 2147483647.0)
            return false;
        Store(*def, static_cast<uint32_t>(static_cast<int32_t>(value)));
        return true;
    }
    if (value < 0.0 || value > UnsignedMax(*def))
        return false;
    Store(*def, static_cast<uint64_t>(value));
    return true;
}

long long CSimMemory::GetInt(uint32_t key, long long fallback) const
{
    const std::optional<double> value = GetNumber(key);
    return value ? static_cast<long long>(*value) : fallback;
}

std::optional<std::vector<uint8_t>> CSimMemory::GetBytes(uint32_t key) const
{
    const SSimKeyDef* def = Find(key);
    if (!def)
        return std::nullopt;
    std::vector<uint8_t> out;
    if (!Read(AreaOfKey(key), def->address, def->size, out))
        return std::nullopt;
    return out;
}

bool CSimMemory::SetBytes(uint32_t key, const std::vector<uint8_t>& bytes)
{
    const SSimKeyDef* def = Find(key);
    std::vector<uint8_t>* area = def ? AreaBytes(AreaOfKey(key)) : nullptr;
    if (!area || def->address + def->size > kAreaSize)
        return false;
    for (int i = 0; i < def->size; ++i)
        (*area)[def->address + i] = i < static_cast<int>(bytes.size()) ? bytes[i] : 0;
    return true;
}

bool CSimMemory::Read(int area, int address, int count, std::vector<uint8_t>& out) const
{
    const std::vector<uint8_t>* bytes = AreaBytes(area);
    if (!bytes || address < 0 || count < 0 || address + count > kAreaSize)
        return false;
    out.assign(bytes->begin() + address, bytes->begin() + address + count);
    return true;
}

bool CSimMemory::Write(int area, int address, uint8_t value)
{
    std::vector<uint8_t>* bytes = AreaBytes(area);
    if (!bytes || address < 0 || address >= kAreaSize)
        return false;
    (*bytes)[address] = value;
    return true;
}
