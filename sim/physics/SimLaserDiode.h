#pragma once

// A laser diode with its monitor photodiode: threshold and slope efficiency that drift with the
// mount temperature, an exponential-plus-series-resistance forward voltage, and a monitor current
// proportional to the emitted power.
class CSimLaserDiode
{
public:
    struct SParams
    {
        double thresholdMa = 30.0;         // [mA] at 25 °C
        double thresholdT0K = 60.0;        // characteristic temperature of the threshold
        double slopeMwPerMa = 0.8;         // [mW/mA] above threshold at 25 °C
        double slopeT1K = 200.0;           // the slope falls by e over this rise
        double spontaneousFraction = 0.01; // LED-like emission below threshold, relative to slope
        double idealityV = 0.052;          // [V] n·kT/q of the junction
        double saturationMa = 1e-9;        // [mA] junction saturation current
        double seriesOhms = 3.0;           // [Ω]
        double monitorUaPerMw = 10.0;      // [µA/mW] photodiode coupling
    };

    CSimLaserDiode() = default;
    explicit CSimLaserDiode(const SParams& params) : m_params(params) {}

    void SetTemperature(double c) { m_tempC = c; }
    double GetTemperature() const { return m_tempC; }
    const SParams& GetParams() const { return m_params; }

    double ThresholdMa() const;
    double PowerMw(double currentMa) const;
    double VoltageV(double currentMa) const;
    double MonitorUa(double currentMa) const { return PowerMw(currentMa) * m_params.monitorUaPerMw; }

    // Inverses, used by the constant-power, constant-monitor-current and constant-voltage modes.
    double CurrentForPowerMa(double powerMw) const;
    double CurrentForMonitorMa(double monitorUa) const
    {
        return CurrentForPowerMa(monitorUa / m_params.monitorUaPerMw);
    }
    double CurrentForVoltageMa(double volts) const;

private:
    double SlopeMwPerMa() const;

    SParams m_params;
    double m_tempC = 25.0;
};
