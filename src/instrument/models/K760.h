#pragma once

#include "instrument/tec/TEC.h"

// K760 TEC controller with seven sensor inputs. Differs from the family in its sensor count, one
// supported-sensor mask per input, the LM335 range of older builds, sensor constants kept by the
// unit per sensor (not in the value bag), cable resistance, built-in AutoTune and its capability
// answers; its value
// bag uses keyed access.
class CK760 : public CTEC
{
public:
    // Supported-sensor masks of inputs 0-7 follow this key.
    static constexpr uint32_t KeyFirstSensorMask = 0x480026;
    static constexpr int SensorMaskKeys = 8;

    CK760();

    int GetSensorCount() const override { return 7; }
    uint32_t GetSupportedSensorMask(int sensor) override;
    double GetMaxR(int sensorType) override;

    bool SetThermistorConstants(int sensor, float a, float b, float c) override;
    bool GetThermistorConstants(int sensor, float& a, float& b, float& c) override;
    bool SetRTDConstants(int sensor, float a, float b, float c, float r0) override;
    bool GetRTDConstants(int sensor, float& a, float& b, float& c, float& r0) override;

    // The unit measures its sensor cable and corrects for it.
    bool SupportsCableR() override { return true; }
    bool IsAutoTuneSupported() override { return true; }
    bool HasCapability82() override { return true; }
    bool HasCapability83() override { return true; }
    bool HasCapability85() override { return true; }
    bool HasCapability105() override { return true; }

private:
    // One constant set of a sensor ("TEC:CONSTIDX sensor,set,..."): set 1 thermistor, 5 RTD.
    bool SendConstants(int sensor, int set, std::span<const float> values);
    bool QueryConstants(int sensor, int set, std::span<float> values);
};
