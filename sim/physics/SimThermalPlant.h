#pragma once

// The thermal path of a TEC mount: the module's plate, the mount it carries (where the sensors sit)
// and the heat sink at ambient. Positive current heats the plate. Two lumped masses rather than one,
// because a single first-order lag never oscillates under relay feedback and the unit's AutoTune
// relies on that oscillation, as a real mount does.
class CSimThermalPlant
{
public:
    struct SParams
    {
        double ambientC = 25.0;     // [°C] heat sink and surroundings
        double seebeckVPerK = 0.02; // [V/K] module Seebeck coefficient (Peltier heat = S·I·T)
        double tecOhms = 1.5;       // [Ω] module electrical resistance
        double plateJPerK = 2.0;    // [J/K] heat capacity of the plate
        double mountJPerK = 15.0;   // [J/K] heat capacity of the mount
        double plateToMountKPerW = 0.5;
        double plateToAmbientKPerW = 4.0; // conduction back through the module
        double mountToAmbientKPerW = 8.0;
        double sensorLagS = 1.0; // [s] the sensor's own lag behind the mount it is bonded to
    };

    CSimThermalPlant();
    explicit CSimThermalPlant(const SParams& params);

    // Integrates dt seconds with the TEC current held at currentA, in sub-steps short enough
    // for explicit integration to stay stable whatever dt the caller passes.
    void Advance(double dt, double currentA);

    double GetMountC() const { return m_mountC; }
    double GetPlateC() const { return m_plateC; }
    // [°C] what a sensor on the mount reads, lagging the mount.
    double GetSensedC() const { return m_sensedC; }
    // [V] terminal voltage at that current: ohmic drop plus the Seebeck voltage of the plate's offset.
    double VoltageAt(double currentA) const;
    void SetTemperatures(double plateC, double mountC);
    const SParams& GetParams() const { return m_params; }

private:
    void Step(double h, double currentA);

    SParams m_params;
    double m_plateC;  // [°C]
    double m_mountC;  // [°C]
    double m_sensedC; // [°C]
};
