// Capability answers of the single-channel models that encode rules: firmware gates, per-sensor
// masks, the stored capability word of the K910.
#include "instrument/laser/LaserProtocol.h"
#include "instrument/models/D312.h"
#include "instrument/models/K705.h"
#include "instrument/models/K760.h"
#include "instrument/models/K910.h"
#include "instrument/models/ModelRules.h"
#include "instrument/tec/TecTypes.h"
#include "instrument/valuebags/ValuesBag.h"

#include <gtest/gtest.h>
#include <memory>

namespace
{
struct SModeCase
{
    int mode;
    bool pulseCapable;
    int build;
    bool offered;
};

class PulseDriverModes : public ::testing::TestWithParam<SModeCase>
{
};

TEST_P(PulseDriverModes, FollowThePulseFlagAndTheBuild)
{
    const SModeCase& c = GetParam();
    EXPECT_EQ(ModelRules::IsPulseDriverModeSupported(c.mode, c.pulseCapable, c.build), c.offered);
}

INSTANTIATE_TEST_SUITE_P(
    Gates, PulseDriverModes,
    ::testing::Values(SModeCase{LaserModeICW, false, 10, true}, SModeCase{LaserModeLDV, false, 10, true},
                      SModeCase{LaserModePulse, false, 70, false}, SModeCase{LaserModeTrig, true, 10, true},
                      SModeCase{LaserModeBurst, true, 61, false}, SModeCase{LaserModeBurst, true, 62, true},
                      SModeCase{LaserModeBurst, false, 62, false}, SModeCase{LaserModeNone, true, 62, false},
                      SModeCase{9, true, 62, false}));

TEST(ModelGates, TwoRangeDriverHasNoPulseModes)
{
    const CD312 d312;
    for (const int mode : {LaserModePulse, LaserModeTrig, LaserModeBurst})
        EXPECT_FALSE(d312.IsModeSupported(mode)) << mode;
    for (const int mode : {LaserModeICW, LaserModeIHBW, LaserModeMDI, LaserModeMDP, LaserModeLDV})
        EXPECT_TRUE(d312.IsModeSupported(mode)) << mode;
}

TEST(ModelGates, Lm335RangeWidensAfterBuild330)
{
    EXPECT_EQ(ModelRules::Lm335MaxR(330), 4250.0);
    EXPECT_EQ(ModelRules::Lm335MaxR(331), 4730.0);
}

TEST(ModelGates, K910AutoTuneNeedsMinor4FromBuild54)
{
    EXPECT_FALSE(ModelRules::IsK910AutoTuneSupported(4, 53));
    EXPECT_TRUE(ModelRules::IsK910AutoTuneSupported(4, 54));
    EXPECT_FALSE(ModelRules::IsK910AutoTuneSupported(3, 90));
}

TEST(K705Bounds, OneWideSensorRangeForEveryType)
{
    CK705 k705;
    for (const int type : {int{SensorThermistor100uA}, int{SensorLM335}, int{SensorRTD}, 99})
    {
        EXPECT_EQ(k705.GetMinR(type), 10.0) << type;
        EXPECT_EQ(k705.GetMaxR(type), 450000.0) << type;
    }
    EXPECT_EQ(k705.GetRUnits(SensorThermistor10uA), "\u03a9");
    EXPECT_EQ(k705.GetRUnits(SensorAD590), "");
    EXPECT_TRUE(k705.IsSettingHidden(0xF0001304));
    EXPECT_FALSE(k705.IsSettingHidden(0xF0001008));
}

// The K760 keeps one supported-sensor mask per input; the family has one for sensor 0 only.
TEST(K760Sensors, OneMaskPerInput)
{
    CK760 k760;
    auto bag = std::make_unique<CValuesBag>(&k760);
    ASSERT_TRUE(bag->SetU16(CK760::KeyFirstSensorMask, 0x01, false));
    ASSERT_TRUE(bag->SetU16(CK760::KeyFirstSensorMask + 6, 0x20, false));
    k760.SetValueBag(std::move(bag));
    EXPECT_EQ(k760.GetSupportedSensorMask(0), 0x01u);
    EXPECT_EQ(k760.GetSupportedSensorMask(6), 0x20u);
    EXPECT_TRUE(k760.IsSensorTypeSupported(SensorRTD, 6));
    EXPECT_FALSE(k760.IsSensorTypeSupported(SensorRTD, 0));
    EXPECT_EQ(k760.GetSupportedSensorMask(8), 0u);
}

class CK910WithFeature : public CK910
{
public:
    void SetFirmwareFeature(bool on) { m_firmwareFeature.store(on); }
};

struct SK910Case
{
    const char* name;
    const char* capabilityText; // nullptr: the unit stores none
    bool firmwareFeature;
    bool storedBounds; // keys 0x1501 / 0x1502
    bool limitsHidden; // 0xF0001008
    bool analogHidden; // 0xF0001101
    bool cableR;
    bool capability82;
    bool capability85;
};

class K910Capabilities : public ::testing::TestWithParam<SK910Case>
{
};

TEST_P(K910Capabilities, FollowTheStoredBitsAndTheFirmwareFeature)
{
    const SK910Case& c = GetParam();
    CK910WithFeature k910;
    auto bag = std::make_unique<CValuesBag>(&k910);
    if (c.capabilityText)
    {
        ASSERT_TRUE(bag->SetString(CK910::KeyCapabilityBits, c.capabilityText, false));
    }
    k910.SetValueBag(std::move(bag));
    k910.SetFirmwareFeature(c.firmwareFeature);

    EXPECT_EQ(k910.IsSettingHidden(0x1501), c.storedBounds);
    EXPECT_EQ(k910.IsSettingHidden(0x1502), c.storedBounds);
    EXPECT_EQ(k910.IsSettingHidden(0xF0001008), c.limitsHidden);
    EXPECT_EQ(k910.IsSettingHidden(0xF0001101), c.analogHidden);
    EXPECT_FALSE(k910.IsSettingHidden(0xF0001140)); // gain and PID: always offered
    EXPECT_EQ(k910.SupportsCableR(), c.cableR);
    EXPECT_EQ(k910.HasCapability82(), c.capability82);
    EXPECT_EQ(k910.HasCapability85(), c.capability85);
    EXPECT_EQ(k910.HasCapability105(), c.firmwareFeature);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, K910Capabilities,
    ::testing::Values(SK910Case{"NoneStored", nullptr, false, false, true, true, false, false, false},
                      SK910Case{"Garbled", "zz", true, false, true, true, true, false, false},
                      SK910Case{"BoundsOnly", "1", true, true, true, true, true, true, false},
                      SK910Case{"AllOldFirmware", "7", false, true, false, true, false, true, false},
                      SK910Case{"AllNewFirmware", "7", true, true, false, false, true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(K910Codes, FeatureCodesBecomeCapabilityCodes)
{
    const CK910 k910;
    EXPECT_EQ(k910.ToCapabilityCode(0xF0001008), 0x10001008u);
    EXPECT_EQ(k910.ToCapabilityCode(0x1501), 0x1501u);
}
} // namespace
