#pragma once

#include "instrument/multi/MultiLaserTec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The OEM unit: two laser channels and three TEC channels behind one port and one session, all always
// fitted. Laser operations go to the selected laser channel, TEC operations to the selected TEC
// channel; operations that take a sensor index address the channel's active sensor. The unit has no
// pulse, QCW or stored factory values: those answer 0 and send nothing.
class CNorlase : public CMultiLaserTec
{
public:
    static constexpr int LaserSlots = 2;
    static constexpr int TecSlots = 3;

    CNorlase();
    ~CNorlase() override;

    // --- TEC operations on the selected channel's active sensor ---
    int GetSensorType(bool forceQuery, int sensor) override;
    bool SetSensorType(int code, int sensor) override;
    bool IsSensorTypeSupported(int code, int sensor) override;
    bool SetTLowLimit(float celsius, int sensor) override;
    float GetTLowLimit(int sensor) override;
    bool SetTHighLimit(float celsius, int sensor) override;
    float GetTHighLimit(int sensor) override;
    uint32_t GetSupportedSensorMask(int sensor) override;
    float GetT(bool averaged = false, int sensor = -1) override;
    float GetR(bool averaged = false, int sensor = -1) override;
    bool SetThermistorConstants(int sensor, float a, float b, float c) override;
    bool GetThermistorConstants(int sensor, float& a, float& b, float& c) override;
    bool SetRTDConstants(int sensor, float a, float b, float c, float r0) override;
    bool GetRTDConstants(int sensor, float& a, float& b, float& c, float& r0) override;

    // --- what the OEM lasers do not have ---
    bool SetFrequency(double) override { return false; }
    float GetFrequency(bool) override { return 0.0f; }
    float GetPulseWidth(bool) override { return 0.0f; }
    bool SetPulseWidthF(double) override { return false; }
    bool SetPulseWidthP(double) override { return false; }
    bool SetDutyCycle(double) override { return false; }
    float GetDutyCycle() override { return 0.0f; }
    bool SetDelayIn(double) override { return false; }
    float GetDelayIn() override { return 0.0f; }
    bool SetDelayOut(double) override { return false; }
    float GetDelayOut() override { return 0.0f; }
    int GetQCWCount() override { return 0; }
    bool SetQCWCount(int) override { return false; }
    bool GetQCWHold() override { return false; }
    bool SetQCWHold(bool) override { return false; }
    bool GetPulseMinima(SPulseTiming&) override { return false; }
    bool GetPulseMaxima(SPulseTiming&) override { return false; }
    bool GetStoredPulseValues(int, std::array<float, 3>& values) override;
    std::optional<float> GetStoredValue(StoredValue) override { return 0.0f; }
    bool SetStoredValue(StoredValue, float) override { return false; }

    bool IsInstrumentType(int type) const override;

protected:
    // No channel discovery: all five channels are always there, each taking the unit's identity.
    void DiscoverLaserChannels() override;
    void DiscoverTecChannels() override;
};
