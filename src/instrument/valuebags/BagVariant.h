#pragma once

#include <cstdint>
#include <vector>

// Type codes of bag values, as the instruments' memory maps number them (VARIANT-style).
enum EBagType : uint16_t
{
    BAG_I4 = 3,        // signed 32-bit
    BAG_R4 = 4,        // 32-bit float
    BAG_UI1 = 17,      // unsigned 8-bit
    BAG_UI2 = 18,      // unsigned 16-bit
    BAG_UI4 = 19,      // unsigned 32-bit
    BAG_ARRAY = 28,    // fixed byte array
    BAG_STRING = 1002, // zero-terminated byte string
};

// One value of a bag. Integer types live in intValue, BAG_R4 in floatValue, arrays and strings in
// bytes (a string keeps its terminating zero).
struct BAG_VARIANT
{
    uint16_t type = 0;
    bool valid = false;
    int64_t intValue = 0;
    float floatValue = 0.0f;
    std::vector<uint8_t> bytes;
};

// One row of a model's memory map: where a key lives and how it is stored.
struct SBagKeyInfo
{
    uint32_t key;
    uint16_t type;    // EBagType
    uint16_t address; // byte address within the key's area
    uint16_t size;    // bytes reserved at that address
    bool swap;        // multi-byte value stored most significant byte first
};
