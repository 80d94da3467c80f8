#include "instrument/models/D710.h"

#include "instrument/models/ModelRules.h"
#include "instrument/tec/TecProtocol.h"
#include "instrument/valuebags/ValuesBagEED710.h"

#include <memory>

CD710::CD710()
{
    SetValueBag(std::make_unique<CValuesBagEED710>(this));
}

bool CD710::IsModeSupported(int mode) const
{
    return ModelRules::IsPulseDriverModeSupported(mode, IsPulseCapable(), GetBuildNumber());
}

bool CD710::SendFactoryDacLine1()
{
    return Command(ModelRules::FactoryDacLine1);
}

bool CD710::SendFactoryDacLine2()
{
    return Command(ModelRules::FactoryDacLine2);
}

bool CD710::HasExtendedFeatures() const
{
    return m_revision3.load(std::memory_order_relaxed);
}

bool CD710::HasRemoteSetControl() const
{
    return GetExtendedLimit();
}

bool CD710::SetLDVLimit(double value)
{
    const bool sent = CLaser::SetLDVLimit(value);
    m_ldvLimit.store(static_cast<float>(value), std::memory_order_relaxed);
    return sent;
}

float CD710::GetLDVLimit()
{
    const float cached = m_ldvLimit.load(std::memory_order_relaxed);
    if (IsPolling() && IsPolledLaserItem(LaserPollLDVLimit) && cached != NoValue)
        return cached;
    // Extended resolution for this one reply only: the unit's other replies keep their precision.
    const float limit = QueryNumber("SETEXTENDEDRES 1;LAS:LIM:LDV?;SETEXTENDEDRES 0");
    m_ldvLimit.store(limit, std::memory_order_relaxed);
    return limit;
}

bool CD710::Identify(bool force)
{
    if (!CLaser::Identify(force))
        return false;
    m_ldvLimit.store(NoValue, std::memory_order_relaxed);
    SetPulseCapable(ModelRules::UnitAnswers(*this, "LAS:F?"));
    SetExtendedLimit(ModelRules::UnitAnswers(*this, "REMSET?"));
    const int revision = TecProtocol::ParseVersionNumbers(GetFirmwareVersion())[2];
    m_revision3.store(revision == 3, std::memory_order_relaxed);
    return true;
}
