#include "physics/SimThermalPlant.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kKelvin = 273.15;
// [s] well below the plate's own time constant (about 0.6 s with the default values).
constexpr double kMaxStep = 0.01;
} // namespace

CSimThermalPlant::CSimThermalPlant() : CSimThermalPlant(SParams{}) {}

CSimThermalPlant::CSimThermalPlant(const SParams& params)
    : m_params(params), m_plateC(params.ambientC), m_mountC(params.ambientC), m_sensedC(params.ambientC)
{
}

void CSimThermalPlant::Advance(double dt, double currentA)
{
    if (!(dt > 0.0))
        return;
    const int steps = static_cast<int>(std::ceil(dt / kMaxStep));
    const double h = dt / steps;
    for (int i = 0; i < steps; ++i)
        Step(h, currentA);
}

void CSimThermalPlant::Step(double h, double currentA)
{
    const SParams& p = m_params;
    const double peltierW = p.seebeckVPerK * currentA * (m_plateC + kKelvin);
    const double jouleW = 0.5 * currentA * currentA * p.tecOhms;
    const double plateToMountW = (m_plateC - m_mountC) / p.plateToMountKPerW;
    const double plateLossW = (m_plateC - p.ambientC) / p.plateToAmbientKPerW;
    const double mountLossW = (m_mountC - p.ambientC) / p.mountToAmbientKPerW;

    m_plateC += h * (peltierW + jouleW - plateToMountW - plateLossW) / p.plateJPerK;
    m_mountC += h * (plateToMountW - mountLossW) / p.mountJPerK;
    m_sensedC += (m_mountC - m_sensedC) * std::min(1.0, h / p.sensorLagS);
    // A TEC stack cannot pump below absolute zero nor is the model meant for melting solder.
    m_plateC = std::clamp(m_plateC, -kKelvin + 1.0, 500.0);
    m_mountC = std::clamp(m_mountC, -kKelvin + 1.0, 500.0);
}

double CSimThermalPlant::VoltageAt(double currentA) const
{
    return currentA * m_params.tecOhms + m_params.seebeckVPerK * (m_plateC - m_params.ambientC);
}

void CSimThermalPlant::SetTemperatures(double plateC, double mountC)
{
    m_plateC = plateC;
    m_mountC = mountC;
    m_sensedC = mountC;
}
