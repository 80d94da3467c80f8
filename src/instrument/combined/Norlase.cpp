#include "instrument/combined/Norlase.h"

namespace
{
constexpr int kActiveSensor = -1;
} // namespace

CNorlase::CNorlase() : CMultiLaserTec(LaserSlots, TecSlots) {}

CNorlase::~CNorlase()
{
    // Polling ends before the object starts to come apart.
    StopBackgroundThread(DisconnectStopTimeoutMs);
}

// ---------------------------------------------------------------------------------------------------
// TEC operations: every sensor index becomes the active sensor

int CNorlase::GetSensorType(bool forceQuery, int)
{
    return CMultiTec::GetSensorType(forceQuery, kActiveSensor);
}

bool CNorlase::SetSensorType(int code, int)
{
    return CMultiTec::SetSensorType(code, kActiveSensor);
}

bool CNorlase::IsSensorTypeSupported(int code, int)
{
    return CMultiTec::IsSensorTypeSupported(code, kActiveSensor);
}

bool CNorlase::SetTLowLimit(float celsius, int)
{
    return CMultiTec::SetTLowLimit(celsius, kActiveSensor);
}

float CNorlase::GetTLowLimit(int)
{
    return CMultiTec::GetTLowLimit(kActiveSensor);
}

bool CNorlase::SetTHighLimit(float celsius, int)
{
    return CMultiTec::SetTHighLimit(celsius, kActiveSensor);
}

float CNorlase::GetTHighLimit(int)
{
    return CMultiTec::GetTHighLimit(kActiveSensor);
}

uint32_t CNorlase::GetSupportedSensorMask(int)
{
    return CMultiTec::GetSupportedSensorMask(kActiveSensor);
}

float CNorlase::GetT(bool averaged, int)
{
    return CMultiTec::GetT(averaged, kActiveSensor);
}

float CNorlase::GetR(bool averaged, int)
{
    return CMultiTec::GetR(averaged, kActiveSensor);
}

bool CNorlase::SetThermistorConstants(int, float a, float b, float c)
{
    return CMultiTec::SetThermistorConstants(kActiveSensor, a, b, c);
}

bool CNorlase::GetThermistorConstants(int, float& a, float& b, float& c)
{
    return CMultiTec::GetThermistorConstants(kActiveSensor, a, b, c);
}

bool CNorlase::SetRTDConstants(int, float a, float b, float c, float r0)
{
    return CMultiTec::SetRTDConstants(kActiveSensor, a, b, c, r0);
}

bool CNorlase::GetRTDConstants(int, float& a, float& b, float& c, float& r0)
{
    return CMultiTec::GetRTDConstants(kActiveSensor, a, b, c, r0);
}

bool CNorlase::GetStoredPulseValues(int, std::array<float, 3>& values)
{
    values = {0.0f, 0.0f, 0.0f};
    return false;
}

// ---------------------------------------------------------------------------------------------------
// Session parts

bool CNorlase::IsInstrumentType(int type) const
{
    return type == 7;
}

void CNorlase::DiscoverLaserChannels()
{
    PresentAllLaserChannels();
}

void CNorlase::DiscoverTecChannels()
{
    PresentAllTecChannels();
}
