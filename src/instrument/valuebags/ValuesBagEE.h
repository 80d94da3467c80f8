#pragma once

#include "instrument/valuebags/ValuesBag.h"

#include <span>
#include <string>

// A bag backed by an instrument's EEPROM: the keys that exist, their types and where they live come
// from the model's memory map. Reading and writing need a connected instrument.
//
// Key layout: section in bits 16-27 (family in bits 20-27: 3 laser, 4 TEC; area in bits 16-19:
// 7 user, 8 factory), index in bits 0-15.
class CValuesBagEE : public CValuesBag
{
public:
    CValuesBagEE(CInstrBase* instrument, std::span<const SBagKeyInfo> table);

    bool HasKey(uint32_t key) const override;
    // The key as the instrument knows it: the key itself when the map has it, else 0.
    uint32_t GetWireId(uint32_t key) const;
    bool LookupKey(uint32_t key, SBagKeyInfo& info) const;
    // Family prefix (":LAS", ":TEC" or none) followed by the area (":USER", ":FACT" or none).
    static std::string GetCommandPrefix(uint32_t key);

protected:
    bool ResolveType(uint32_t key, uint16_t& type) const override;
    void FitToKey(uint32_t key, std::vector<uint8_t>& bytes) const override;
    bool IsInstrumentConnected() const;
    // The reply line to a query; empty when the instrument is not connected or did not answer.
    virtual std::string QueryInstrument(const std::string& command);
    // Sends a command followed by the instrument's error check; true when it was accepted.
    virtual bool SendInstrument(const std::string& command);

private:
    std::span<const SBagKeyInfo> m_table;
};
