#pragma once

#include "SimModel.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A model's stored values (its EEPROM): two byte areas (user 7, factory 8) addressed by "!!READ" and
// "!!WRITE", and a key table over them for ":GET?"/":PUT" and for the command handlers. Multi-byte
// values are little-endian. Not thread-safe: it lives inside CSimUnit, under the engine's lock.
class CSimMemory
{
public:
    static constexpr int kUserArea = 7;
    static constexpr int kFactoryArea = 8;
    static constexpr int kAreaSize = 1024; // [bytes]

    explicit CSimMemory(const std::vector<SSimKeyDef>& keys = {});

    static int AreaOfKey(uint32_t key) { return static_cast<int>((key >> 16) & 0xF); }

    const SSimKeyDef* Find(uint32_t key) const;

    // Numeric values (types 3, 4, 17, 18, 19). Get returns nullopt for unknown or non-numeric keys;
    // Set refuses (false) unknown keys and values the type cannot hold.
    std::optional<double> GetNumber(uint32_t key) const;
    bool SetNumber(uint32_t key, double value);
    double GetFloat(uint32_t key, double fallback) const { return GetNumber(key).value_or(fallback); }
    long long GetInt(uint32_t key, long long fallback) const;

    // The raw bytes of any key (arrays and strings included); Set writes at most the key's size and
    // zero-fills the rest.
    std::optional<std::vector<uint8_t>> GetBytes(uint32_t key) const;
    bool SetBytes(uint32_t key, const std::vector<uint8_t>& bytes);

    // Raw access by area and address; false when the range leaves the area or the area is unknown.
    bool Read(int area, int address, int count, std::vector<uint8_t>& out) const;
    bool Write(int area, int address, uint8_t value);

private:
    std::vector<uint8_t>* AreaBytes(int area);
    const std::vector<uint8_t>* AreaBytes(int area) const;
    void Store(const SSimKeyDef& def, uint64_t bits);
    uint64_t Load(const SSimKeyDef& def) const;

    std::map<uint32_t, SSimKeyDef> m_keys;
    std::vector<uint8_t> m_user;
    std::vector<uint8_t> m_factory;
};
