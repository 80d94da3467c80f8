#include "physics/SimPid.h"

#include <algorithm>

void CSimPid::Reset()
{
    m_integral = 0.0;
    m_primed = false;
}

double CSimPid::Update(double setPoint, double measured, double dt, const SGains& gains, double outMin,
                       double outMax)
{
    const double error = setPoint - measured;
    const double rate = m_primed && dt > 0.0 ? (measured - m_lastMeasured) / dt : 0.0;
    m_lastMeasured = measured;
    m_primed = true;

    const double withoutI = gains.p * error - gains.d * rate;
    const double candidate = m_integral + error * dt;
    const double out = withoutI + gains.i * candidate;
    const double clamped = std::clamp(out, outMin, outMax);
    // Integrate only while that does not push further into the clamp.
    const bool windingUp = (out > outMax && error > 0.0) || (out < outMin && error < 0.0);
    if (!windingUp)
        m_integral = candidate;
    return clamped;
}

void CSimPid::PresetOutput(double output, const SGains& gains)
{
    m_integral = gains.i > 0.0 ? output / gains.i : 0.0;
}
