#pragma once

#include "instrument/tec/TEC.h"

#include <cstdint>

// K705 TEC controller (older firmware without a revision reply). Differs from the family in one wide
// sensor range for every sensor type (10 to 450000), ohms as the only R unit (thermistors), a lower
// temperature ceiling, no ITE set point, the settings it does not have, and its value bag (memory read
// by address).
class CK705 : public CTEC
{
public:
    static constexpr double MinR = 10.0;     // every sensor type
    static constexpr double MaxR = 450000.0; // every sensor type
    static constexpr float MaxT = 200.0f;    // [°C]

    CK705();

    double GetMinR(int sensorType) override;
    double GetMaxR(int sensorType) override;
    std::string GetRUnits(int sensorType) override;
    float GetMaxT() override;
    float GetITESetPoint() override;
    // Sensor type selection, heat/cool mode, ITE mode and the current limit independent of the ITE
    // set point: this firmware has none of them.
    bool IsSettingHidden(uint32_t key) override;
};
