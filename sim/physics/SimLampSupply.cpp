#include "physics/SimLampSupply.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kAmbientK = 298.15;
constexpr double kMaxStep = 0.002; // [s] well below the hot filament's time constant (~0.2 s)
constexpr double kShortOhms = 0.001;
constexpr int kErrOutOfRange = 201;
constexpr int kErrOpenLamp = 680;
constexpr int kErrShortLamp = 681;
constexpr int kErrCurrentLimit = 682;
constexpr int kErrVoltageLimit = 683;
constexpr int kErrModeWhileOn = 686;

bool InRange(double value, double low, double high)
{
    return value >= low && value <= high;
}
} // namespace

CSimLampSupply::CSimLampSupply() : CSimLampSupply(SParams{}) {}

CSimLampSupply::CSimLampSupply(const SParams& params)
    : m_params(params), m_currentLimit(params.maxCurrentA), m_voltageLimit(params.maxVoltageV),
      m_filamentK(kAmbientK)
{
}

void CSimLampSupply::Advance(double dt)
{
    if (!(dt > 0.0))
        return;
    const int steps = static_cast<int>(std::ceil(dt / kMaxStep));
    for (int i = 0; i < steps; ++i)
        Step(dt / steps);
}

void CSimLampSupply::Step(double h)
{
    Drive(h);
    const double powerW = m_currentA * m_currentA * GetLampOhms();
    const double t4 = std::pow(m_filamentK, 4.0) - std::pow(kAmbientK, 4.0);
    m_filamentK += h * (powerW - m_params.radiationWPerK4 * t4) / m_params.filamentJPerK;
    m_filamentK = std::max(m_filamentK, kAmbientK);
}

// Moves the output toward the set point at the ramp rate and checks the load.
void CSimLampSupply::Drive(double h)
{
    SetCondition(CondOpenCircuit, m_lampOpen);
    SetCondition(CondShortCircuit, m_lampShorted);
    if (!m_outputOn)
    {
        m_currentA = 0.0;
        SetCondition(CondRamping | CondCurrentLimit | CondVoltageLimit, false);
        return;
    }
    if (m_lampOpen)
        return Trip(kErrOpenLamp);
    if (m_lampShorted)
        return Trip(kErrShortLamp);

    const double ohms = GetLampOhms() + m_cableOhms;
    double target = 0.0;
    double step = 0.0;
    if (m_mode == ModeCurrent)
    {
        target = m_currentSet;
        step = m_currentRate * h;
    }
    else
    {
        // Voltage mode ramps the lamp voltage; the current follows the filament's resistance.
        const double volts = std::min(m_currentA * ohms + m_voltageRate * h, m_voltageSet);
        target = volts / ohms;
        step = std::fabs(target - m_currentA);
    }
    const double moved = std::clamp(target, m_currentA - step, m_currentA + step);
    SetCondition(CondRamping, std::fabs(moved - target) > 1e-9);
    m_currentA = std::min(moved, m_currentLimit);
    SetCondition(CondCurrentLimit, moved > m_currentLimit);
    SetCondition(CondVoltageLimit, m_currentA * ohms > m_voltageLimit);
    // The limits act as a constant-current/constant-voltage crossover unless the output-off enable says.
    static constexpr STripRule kLimitRules[] = {
        {CondVoltageLimit, kErrVoltageLimit, false},
        {CondCurrentLimit, kErrCurrentLimit, false},
    };
    if (const int error = FirstTripError(kLimitRules))
        Trip(error);
}

void CSimLampSupply::Trip(int error)
{
    m_outputOn = false;
    m_currentA = 0.0;
    SetCondition(CondOutputOn | CondRamping, false);
    AddError(error);
}

double CSimLampSupply::GetLampOhms() const
{
    if (m_lampShorted)
        return kShortOhms;
    return m_params.coldOhms * std::pow(m_filamentK / kAmbientK, m_params.resistanceExponent);
}

double CSimLampSupply::GetVoltage() const
{
    if (!m_outputOn)
        return 0.0;
    const double lampV = m_currentA * GetLampOhms();
    return m_vsense != 0 ? lampV : lampV + m_currentA * (m_params.leadOhms + m_cableOhms);
}

double CSimLampSupply::GetVBulk() const
{
    return m_params.bulkV - 0.15 * m_currentA;
}

int CSimLampSupply::SetMode(int mode)
{
    if (mode != ModeCurrent && mode != ModeVoltage)
        return kErrOutOfRange;
    if (m_outputOn && mode != m_mode)
        return kErrModeWhileOn;
    m_mode = mode;
    return 0;
}

int CSimLampSupply::SetOutput(bool on)
{
    if (on && m_lampOpen)
        return kErrOpenLamp;
    if (on && m_lampShorted)
        return kErrShortLamp;
    m_outputOn = on;
    if (!on)
        m_currentA = 0.0;
    SetCondition(CondOutputOn, on);
    return 0;
}

int CSimLampSupply::SetCurrent(double a)
{
    if (!InRange(a, 0.0, m_currentLimit))
        return kErrOutOfRange;
    m_currentSet = a;
    return 0;
}

int CSimLampSupply::SetVoltage(double v)
{
    if (!InRange(v, 0.0, m_voltageLimit))
        return kErrOutOfRange;
    m_voltageSet = v;
    return 0;
}

int CSimLampSupply::SetCurrentLimit(double a)
{
    if (!InRange(a, 0.0, m_params.maxCurrentA))
        return kErrOutOfRange;
    m_currentLimit = a;
    m_currentSet = std::min(m_currentSet, a);
    return 0;
}

int CSimLampSupply::SetVoltageLimit(double v)
{
    if (!InRange(v, 0.0, m_params.maxVoltageV))
        return kErrOutOfRange;
    m_voltageLimit = v;
    m_voltageSet = std::min(m_voltageSet, v);
    return 0;
}

int CSimLampSupply::SetCurrentRate(double aPerS)
{
    if (!InRange(aPerS, 0.01, 10.0))
        return kErrOutOfRange;
    m_currentRate = aPerS;
    return 0;
}

int CSimLampSupply::SetVoltageRate(double vPerS)
{
    if (!InRange(vPerS, 0.01, 50.0))
        return kErrOutOfRange;
    m_voltageRate = vPerS;
    return 0;
}

int CSimLampSupply::SetVSense(int on)
{
    if (on != 0 && on != 1)
        return kErrOutOfRange;
    m_vsense = on;
    return 0;
}

int CSimLampSupply::SetCableR(double ohms)
{
    if (!InRange(ohms, 0.0, 10.0))
        return kErrOutOfRange;
    m_cableOhms = ohms;
    return 0;
}
