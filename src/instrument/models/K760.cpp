#include "instrument/models/K760.h"

#include "instrument/models/ModelRules.h"
#include "instrument/tec/TecTypes.h"
#include "instrument/valuebags/ValuesBagEEK760.h"

#include <memory>
#include <string>

namespace
{
constexpr int ThermistorSet = 1;
constexpr int RtdSet = 5;
} // namespace

CK760::CK760()
{
    SetValueBag(std::make_unique<CValuesBagEEK760>(this));
}

uint32_t CK760::GetSupportedSensorMask(int sensor)
{
    const int index = ResolveSensor(sensor);
    if (index < 0 || index >= SensorMaskKeys)
        return 0;
    return StoredUnsigned(KeyFirstSensorMask + static_cast<uint32_t>(index)).value_or(0);
}

double CK760::GetMaxR(int sensorType)
{
    if (sensorType == SensorLM335)
        return ModelRules::Lm335MaxR(GetBuildNumber());
    return CTEC::GetMaxR(sensorType);
}

bool CK760::SendConstants(int sensor, int set, std::span<const float> values)
{
    std::string line =
        "TEC:CONSTIDX " + std::to_string(ResolveSensor(sensor) + 1) + "," + std::to_string(set);
    for (const float value : values)
        line += "," + TecProtocol::FormatSignificant(value);
    return Send(line + "\n");
}

bool CK760::QueryConstants(int sensor, int set, std::span<float> values)
{
    const std::string query =
        "TEC:CONSTIDX? " + std::to_string(ResolveSensor(sensor) + 1) + "," + std::to_string(set) + "\n";
    return TecProtocol::ParseFloatList(Query(query), values);
}

bool CK760::SetThermistorConstants(int sensor, float a, float b, float c)
{
    const float values[] = {a, b, c};
    return SendConstants(sensor, ThermistorSet, values);
}

bool CK760::GetThermistorConstants(int sensor, float& a, float& b, float& c)
{
    float values[3] = {};
    if (!QueryConstants(sensor, ThermistorSet, values))
        return false;
    a = values[0];
    b = values[1];
    c = values[2];
    return true;
}

bool CK760::SetRTDConstants(int sensor, float a, float b, float c, float r0)
{
    const float values[] = {a, b, c, r0};
    return SendConstants(sensor, RtdSet, values);
}

bool CK760::GetRTDConstants(int sensor, float& a, float& b, float& c, float& r0)
{
    float values[4] = {};
    if (!QueryConstants(sensor, RtdSet, values))
        return false;
    a = values[0];
    b = values[1];
    c = values[2];
    r0 = values[3];
    return true;
}
