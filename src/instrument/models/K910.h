#pragma once

#include "instrument/tec/TEC.h"

#include <cstdint>

// K910 TEC controller (also the K19- and K706/K708 builds). Differs from the family in that its
// capabilities come from the unit itself: the capability bits it stores under 0x470032 and the
// firmware feature flag decide which settings it offers, whether it keeps stored T and ITE bounds,
// and the reserved capability answers; AutoTune needs version x.4 from build 54. Memory is read by
// address.
class CK910 : public CTEC
{
public:
    static constexpr uint32_t KeyCapabilityBits = 0x470032;
    // Bits of the stored capability word (its text is a hexadecimal number).
    static constexpr uint32_t CapStoredBounds = 0x1;      // keeps stored T bounds and ITE limit bound
    static constexpr uint32_t CapIndependentLimits = 0x2; // limits independent of the set points
    static constexpr uint32_t CapAnalog = 0x4;            // analog set point interface

    CK910();

    // A settings feature code (0xF000xxxx) as the unit's own capability code (0x1000xxxx); other
    // codes unchanged.
    virtual uint32_t ToCapabilityCode(uint32_t featureCode) const;
    // The stored capability word; 0 when absent or unreadable.
    uint32_t GetCapabilityBits();

    bool IsSettingHidden(uint32_t key) override;
    bool SupportsCableR() override;
    bool IsAutoTuneSupported() override;
    bool IsTSetPointLocked() override;
    bool HasCapability82() override;
    bool HasCapability83() override;
    bool HasCapability84() override;
    bool HasCapability85() override;
    bool HasCapability105() override;
};
