#pragma once

#include "physics/SimPid.h"

// The unit's PID AutoTune: a relay test around the test point (Ziegler-Nichols ultimate gain and
// period), then a settle under the P and D terms, then the integral term, as the progress codes tell:
// 100 approaching the test point, 200s relay oscillation, 300s stabilising with P and D, 400s
// determining I, 500 complete.
class CSimAutoTune
{
public:
    // Result codes the unit reports for "TEC:AUTOTUNE?".
    enum EResult
    {
        NeverRun = 0,
        Running = 1,
        Failed = 2,
        Succeeded = 3,
    };

    // relayA: the current step of the relay test [A], already within the unit's limits.
    void Start(double testPointC, double relayA);
    // The run stops (result Failed) without computing anything; `Running` is left at once.
    void Abort();
    bool IsRunning() const { return m_result == Running; }

    // One controller period: the current [A] the run asks for, clamped to [minA, maxA].
    double Step(double sensedC, double dt, double minA, double maxA);

    int GetProgress() const { return m_progress; }
    int GetResult() const { return m_result; }
    double GetTestPoint() const { return m_testPointC; }
    // Valid once the result is Succeeded.
    const CSimPid::SGains& GetGains() const { return m_gains; }

private:
    enum EPhase
    {
        Approach,
        Relay,
        Settle,
        Integral,
    };

    double RelayStep(double sensedC);
    void FinishRelay();
    void AdvancePhase();

    double m_testPointC = 0.0;
    double m_relayA = 0.0;
    EPhase m_phase = Approach;
    int m_progress = 0;
    int m_result = NeverRun;
    double m_elapsed = 0.0;      // [s] since Start
    double m_phaseElapsed = 0.0; // [s] since the current phase began
    bool m_relayHigh = true;
    int m_risingSwitches = 0;
    double m_lastRisingAt = 0.0;
    double m_periodSum = 0.0;
    double m_amplitudeSum = 0.0;
    int m_measuredCycles = 0;
    double m_cycleMin = 0.0;
    double m_cycleMax = 0.0;
    double m_ultimatePeriod = 0.0; // [s]
    CSimPid::SGains m_gains;
    CSimPid m_pid;
};
