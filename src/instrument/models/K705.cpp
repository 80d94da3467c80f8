#include "instrument/models/K705.h"

#include "instrument/tec/TecTypes.h"
#include "instrument/valuebags/ValuesBagEEK705.h"

#include <algorithm>
#include <array>
#include <memory>

namespace
{
constexpr std::array<uint32_t, 4> HiddenSettings = {0xF0001302, 0xF0001004, 0xF0001304, 0xF0001180};
} // namespace

CK705::CK705()
{
    SetValueBag(std::make_unique<CValuesBagEEK705>(this));
}

double CK705::GetMinR(int)
{
    return MinR;
}

double CK705::GetMaxR(int)
{
    return MaxR;
}

std::string CK705::GetRUnits(int sensorType)
{
    const bool thermistor = sensorType == SensorThermistor100uA || sensorType == SensorThermistor10uA;
    return thermistor ? "\u03a9" : "";
}

float CK705::GetMaxT()
{
    return MaxT;
}

float CK705::GetITESetPoint()
{
    return 0.0f;
}

bool CK705::IsSettingHidden(uint32_t key)
{
    return std::find(HiddenSettings.begin(), HiddenSettings.end(), key) != HiddenSettings.end();
}
