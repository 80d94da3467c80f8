#pragma once

// The unit's discrete PID in parallel form: out = P·e + I·∫e dt − D·d(measured)/dt.
// P [A/K], I [A/(K·s)], D [A·s/K]. The derivative acts on the measurement so that a set-point step
// does not kick the output, and the integral stops growing while the output is clamped.
class CSimPid
{
public:
    struct SGains
    {
        double p = 0.0;
        double i = 0.0;
        double d = 0.0;
    };

    void Reset();
    // One controller period of dt seconds; the result lies within [outMin, outMax].
    double Update(double setPoint, double measured, double dt, const SGains& gains, double outMin,
                  double outMax);
    // Preloads the integral so that the next output starts near `output` (bumpless hand-over).
    void PresetOutput(double output, const SGains& gains);

private:
    double m_integral = 0.0; // [K·s] accumulated error
    double m_lastMeasured = 0.0;
    bool m_primed = false;
};
