#include "physics/SimLaserDiode.h"

#include <cmath>

double CSimLaserDiode::ThresholdMa() const
{
    return m_params.thresholdMa * std::exp((m_tempC - 25.0) / m_params.thresholdT0K);
}

double CSimLaserDiode::SlopeMwPerMa() const
{
    return m_params.slopeMwPerMa * std::exp(-(m_tempC - 25.0) / m_params.slopeT1K);
}

double CSimLaserDiode::PowerMw(double currentMa) const
{
    if (currentMa <= 0.0)
        return 0.0;
    const double threshold = ThresholdMa();
    const double slope = SlopeMwPerMa();
    const double spontaneous = m_params.spontaneousFraction * slope;
    if (currentMa <= threshold)
        return spontaneous * currentMa;
    return spontaneous * threshold + slope * (currentMa - threshold);
}

double CSimLaserDiode::VoltageV(double currentMa) const
{
    if (currentMa <= 0.0)
        return 0.0;
    return m_params.idealityV * std::log1p(currentMa / m_params.saturationMa) +
           currentMa / 1000.0 * m_params.seriesOhms;
}

double CSimLaserDiode::CurrentForPowerMa(double powerMw) const
{
    if (powerMw <= 0.0)
        return 0.0;
    const double threshold = ThresholdMa();
    const double slope = SlopeMwPerMa();
    const double spontaneous = m_params.spontaneousFraction * slope;
    const double atThreshold = spontaneous * threshold;
    if (powerMw <= atThreshold)
        return powerMw / spontaneous;
    return threshold + (powerMw - atThreshold) / slope;
}

double CSimLaserDiode::CurrentForVoltageMa(double volts) const
{
    if (volts <= 0.0)
        return 0.0;
    // The curve rises monotonically; bisection over a span far beyond any driver's range.
    double low = 0.0;
    double high = 1e6;
    for (int i = 0; i < 100 && high - low > 1e-9; ++i)
    {
        const double mid = 0.5 * (low + high);
        (VoltageV(mid) < volts ? low : high) = mid;
    }
    return 0.5 * (low + high);
}
