#include "instrument/models/K910.h"

#include "instrument/models/ModelRules.h"
#include "instrument/valuebags/ValuesBag.h"
#include "instrument/valuebags/ValuesBagEEK910.h"

#include <array>
#include <charconv>
#include <memory>
#include <string>

namespace
{
constexpr uint32_t KeyStoredTBounds = 0x1501;
constexpr uint32_t KeyStoredITEBound = 0x1502;
constexpr uint32_t SettingTLimitsIndependent = 0xF0001008;
constexpr uint32_t SettingCableR = 0xF0001220;

// Which settings group needs which capability bit and whether it came with the newer firmware
// (the feature flag); groups not listed are always offered.
struct SSettingRule
{
    uint32_t capabilityCode;
    uint32_t requiredBits;
    bool needsFirmwareFeature;
};

constexpr std::array<SSettingRule, 5> SettingRules = {{
    {0x10001008, CK910::CapIndependentLimits, false}, // T limits independent of the T set point
    {0x10001010, CK910::CapIndependentLimits, false}, // R limits independent of the R set point
    {0x10001004, CK910::CapIndependentLimits, false}, // ITE limit independent of the ITE set point
    {0x10001101, CK910::CapAnalog, true},             // analog interface
    {0x10001220, 0, true},                            // cable resistance
}};
} // namespace

CK910::CK910()
{
    SetValueBag(std::make_unique<CValuesBagEEK910>(this));
}

uint32_t CK910::ToCapabilityCode(uint32_t featureCode) const
{
    if ((featureCode & 0xFFFF0000u) != 0xF0000000u)
        return featureCode;
    return 0x10000000u | (featureCode & 0xFFFFu);
}

uint32_t CK910::GetCapabilityBits()
{
    CValuesBag* bag = GetValueBag();
    bool found = false;
    const std::string text = bag ? bag->GetString(KeyCapabilityBits, &found) : std::string();
    uint32_t bits = 0;
    if (!found || std::from_chars(text.data(), text.data() + text.size(), bits, 16).ec != std::errc())
        return 0;
    return bits;
}

bool CK910::IsSettingHidden(uint32_t key)
{
    if (key == KeyStoredTBounds || key == KeyStoredITEBound)
        return (GetCapabilityBits() & CapStoredBounds) != 0;
    const uint32_t code = ToCapabilityCode(key);
    for (const SSettingRule& rule : SettingRules)
    {
        if (rule.capabilityCode != code)
            continue;
        const bool bitsPresent = (GetCapabilityBits() & rule.requiredBits) == rule.requiredBits;
        return !bitsPresent || (rule.needsFirmwareFeature && !GetFirmwareFeatureFlag());
    }
    return false;
}

bool CK910::SupportsCableR()
{
    return !IsSettingHidden(SettingCableR);
}

bool CK910::IsAutoTuneSupported()
{
    return ModelRules::IsK910AutoTuneSupported(GetFirmwareVersionNumbers()[1], GetBuildNumber());
}

bool CK910::IsTSetPointLocked()
{
    return IsSettingHidden(SettingTLimitsIndependent) || IsAnalogEnabled();
}

bool CK910::HasCapability82()
{
    return GetCapabilityBits() != 0;
}

bool CK910::HasCapability83()
{
    return (GetCapabilityBits() & CapStoredBounds) != 0;
}

bool CK910::HasCapability84()
{
    return (GetCapabilityBits() & CapIndependentLimits) != 0 && GetFirmwareFeatureFlag();
}

bool CK910::HasCapability85()
{
    return (GetCapabilityBits() & CapAnalog) != 0 && GetFirmwareFeatureFlag();
}

bool CK910::HasCapability105()
{
    return GetFirmwareFeatureFlag();
}
