#include "physics/SimAutoTune.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
constexpr double kHysteresisK = 0.05; // relay switching band around the test point
constexpr int kWarmUpCycles = 2;      // cycles left out while the oscillation settles
constexpr int kMeasuredCycles = 3;
constexpr double kGiveUpAfterS = 3600.0; // a mount that never oscillates fails the run
} // namespace

void CSimAutoTune::Start(double testPointC, double relayA)
{
    *this = CSimAutoTune{};
    m_testPointC = testPointC;
    m_relayA = relayA;
    m_result = Running;
    m_progress = 100;
}

void CSimAutoTune::Abort()
{
    if (m_result == Running)
        m_result = Failed;
}

double CSimAutoTune::Step(double sensedC, double dt, double minA, double maxA)
{
    if (m_result != Running)
        return 0.0;
    m_elapsed += dt;
    m_phaseElapsed += dt;
    if (m_elapsed > kGiveUpAfterS)
    {
        Abort();
        return 0.0;
    }
    double out = 0.0;
    switch (m_phase)
    {
    case Approach:
    case Relay:
        out = RelayStep(sensedC);
        break;
    case Settle:
    {
        const CSimPid::SGains pd{m_gains.p, 0.0, m_gains.d};
        out = m_pid.Update(m_testPointC, sensedC, dt, pd, minA, maxA);
        break;
    }
    case Integral:
        out = m_pid.Update(m_testPointC, sensedC, dt, m_gains, minA, maxA);
        break;
    }
    if (m_phase == Approach || m_phase == Relay)
    {
        m_cycleMin = std::min(m_cycleMin, sensedC);
        m_cycleMax = std::max(m_cycleMax, sensedC);
    }
    else
        AdvancePhase();
    return std::clamp(out, minA, maxA);
}

double CSimAutoTune::RelayStep(double sensedC)
{
    const bool wasHigh = m_relayHigh;
    if (sensedC < m_testPointC - kHysteresisK)
        m_relayHigh = true;
    else if (sensedC > m_testPointC + kHysteresisK)
        m_relayHigh = false;

    if (m_relayHigh && !wasHigh)
    {
        // A rising switch closes one full cycle of the oscillation.
        if (m_phase == Approach)
            m_phase = Relay;
        else if (++m_risingSwitches > kWarmUpCycles)
        {
            m_periodSum += m_elapsed - m_lastRisingAt;
            m_amplitudeSum += (m_cycleMax - m_cycleMin) / 2.0;
            ++m_measuredCycles;
        }
        m_lastRisingAt = m_elapsed;
        m_cycleMin = m_cycleMax = sensedC;
        m_progress = std::min(299, 200 + m_risingSwitches);
        if (m_measuredCycles == kMeasuredCycles)
            FinishRelay();
    }
    return m_relayHigh ? m_relayA : -m_relayA;
}

void CSimAutoTune::FinishRelay()
{
    m_ultimatePeriod = m_periodSum / m_measuredCycles;
    const double amplitude = std::max(m_amplitudeSum / m_measuredCycles, 1e-3);
    const double ultimateGain = 4.0 * m_relayA / (std::numbers::pi * amplitude);
    // Ziegler-Nichols "no overshoot" rule: a mount overshooting its set point is worse for a laser than
    // a slower approach.
    m_gains.p = 0.2 * ultimateGain;
    m_gains.i = m_gains.p / (m_ultimatePeriod / 2.0);
    m_gains.d = m_gains.p * m_ultimatePeriod / 3.0;
    m_phase = Settle;
    m_phaseElapsed = 0.0;
    m_progress = 300;
    m_pid.Reset();
}

void CSimAutoTune::AdvancePhase()
{
    const double phaseLength = (m_phase == Settle ? 2.0 : 3.0) * m_ultimatePeriod;
    const int base = m_phase == Settle ? 300 : 400;
    const double fraction = std::min(1.0, m_phaseElapsed / phaseLength);
    m_progress = base + static_cast<int>(99.0 * fraction);
    if (fraction < 1.0)
        return;
    if (m_phase == Settle)
    {
        m_phase = Integral;
        m_phaseElapsed = 0.0;
        m_progress = 400;
        return;
    }
    m_progress = 500;
    m_result = Succeeded;
}
