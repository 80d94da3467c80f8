#pragma once

#include "instrument/valuebags/BagVariant.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CInstrBase;

// Typed, cached access to values an instrument keeps in non-volatile memory, by numeric key.
// Every value read or written is kept in a local store; a Get answers from the store unless the value
// is absent or the caller forces a read. This base is a plain local store without a transport: any
// key may be set locally, and nothing can be read from or written to an instrument.
//
// The store has its own lock, so the user interface and the poll thread may both use a bag; the lock
// is never held while the instrument is asked.
class CValuesBag
{
public:
    explicit CValuesBag(CInstrBase* instrument);
    virtual ~CValuesBag();
    CValuesBag(const CValuesBag&) = delete;
    CValuesBag& operator=(const CValuesBag&) = delete;

    CInstrBase* GetInstrument() const { return m_instrument; }
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const;
    // Marks every cached value absent, so the next Get reads again (the instrument disconnected or
    // may have been replaced by another unit).
    void Forget();

    // Whether the key exists for this bag: here, whether it has ever been stored.
    virtual bool HasKey(uint32_t key) const;
    bool IsCached(uint32_t key) const;

    // Getters: found (optional) tells whether a value came back; absent values read as 0 or empty.
    // Values convert to the getter's type (floats round to the nearest integer).
    uint16_t GetU16(uint32_t key, bool* found = nullptr, bool forceRead = false);
    uint8_t GetU8(uint32_t key, bool* found = nullptr, bool forceRead = false);
    int32_t GetInt(uint32_t key, bool* found = nullptr, bool forceRead = false);
    float GetFloat(uint32_t key, bool* found = nullptr, bool forceRead = false);
    bool GetArray(uint32_t key, std::vector<uint8_t>& bytes, bool forceRead = false);
    // The bytes of a string or array up to its first zero byte.
    std::string GetString(uint32_t key, bool* found = nullptr, bool forceRead = false);

    // Setters: false when read-only, when the key does not exist, when the value does not fit the
    // key's type, or when the write-through to the instrument fails; then the store is unchanged.
    bool SetU16(uint32_t key, uint16_t value, bool writeThrough);
    bool SetU8(uint32_t key, uint8_t value, bool writeThrough);
    bool SetInt(uint32_t key, int32_t value, bool writeThrough);
    bool SetFloat(uint32_t key, float value, bool writeThrough);
    bool SetArray(uint32_t key, std::span<const uint8_t> bytes, bool writeThrough);
    bool SetString(uint32_t key, std::string_view text, bool writeThrough);

protected:
    // Puts number into value as the given integer or float type: integers round to the nearest and
    // must fit the type; false for byte types, non-finite numbers and numbers out of range.
    static bool EncodeNumber(uint16_t type, double number, BAG_VARIANT& value);

    // The key's type for this bag; false when the key does not exist. The base keeps the type the
    // caller offers (type holds it on entry).
    virtual bool ResolveType(uint32_t key, uint16_t& type) const;
    // Cuts an array or string to what the key can hold; the base holds any length.
    virtual void FitToKey(uint32_t key, std::vector<uint8_t>& bytes) const;
    // Transport hooks; the base has none, so both fail.
    virtual bool ReadValue(uint32_t key, BAG_VARIANT& value);
    virtual bool WriteValue(uint32_t key, const BAG_VARIANT& value);

private:
    bool Fetch(uint32_t key, bool forceRead, BAG_VARIANT& value);
    bool Store(uint32_t key, BAG_VARIANT value, bool writeThrough);
    bool GetNumber(uint32_t key, bool* found, bool forceRead, double& number);
    bool SetNumber(uint32_t key, uint16_t type, double number, bool writeThrough);

    CInstrBase* m_instrument;
    mutable std::mutex m_lock;
    bool m_readOnly = false;
    std::map<uint32_t, BAG_VARIANT> m_store;
};
