#pragma once

#include "physics/SimStatusRegisters.h"

#include <cstdint>

// One channel of a lamp power supply driving a quartz-tungsten-halogen lamp. The filament's resistance
// rises steeply with its temperature (cold about a sixteenth of hot), so the supply ramps current or
// voltage at the user's rate to spare the lamp the inrush. Current [A], voltage [V].
class CSimLampSupply : public CSimStatusRegisters
{
public:
    enum EMode
    {
        ModeCurrent = 1, // "I"
        ModeVoltage = 8, // "V"
    };

    enum ECondition : uint16_t
    {
        CondCurrentLimit = 0x1,
        CondVoltageLimit = 0x2,
        CondOpenCircuit = 0x4,
        CondShortCircuit = 0x8,
        CondOutputOn = 0x10,
        CondRamping = 0x20,
    };

    struct SParams
    {
        double maxCurrentA = 8.0;
        double maxVoltageV = 30.0;
        double bulkV = 36.0;
        double coldOhms = 0.19;           // filament at ambient
        double filamentJPerK = 0.035;     // heat capacity of the filament
        double radiationWPerK4 = 1.6e-12; // P = k·(T⁴ − Ta⁴): about 3000 K at 130 W
        double resistanceExponent = 1.2;  // R ∝ T^1.2 for tungsten
        double leadOhms = 0.04;           // what the unit sees without remote sensing
    };

    CSimLampSupply();
    explicit CSimLampSupply(const SParams& params);

    void Advance(double dt);

    int SetMode(int mode);
    int GetMode() const { return m_mode; }
    int SetOutput(bool on);
    bool GetOutput() const { return m_outputOn; }

    int SetCurrent(double a);
    int SetVoltage(double v);
    double GetCurrentSet() const { return m_currentSet; }
    double GetVoltageSet() const { return m_voltageSet; }
    int SetCurrentLimit(double a);
    int SetVoltageLimit(double v);
    double GetCurrentLimit() const { return m_currentLimit; }
    double GetVoltageLimit() const { return m_voltageLimit; }
    int SetCurrentRate(double aPerS);
    int SetVoltageRate(double vPerS);
    double GetCurrentRate() const { return m_currentRate; }
    double GetVoltageRate() const { return m_voltageRate; }
    int SetVSense(int on);
    int GetVSense() const { return m_vsense; }
    int SetCableR(double ohms);
    double GetCableR() const { return m_cableOhms; }

    double GetCurrent() const { return m_currentA; }
    double GetVoltage() const; // as measured: at the lamp with sensing on, else at the terminals
    double GetLampOhms() const;
    double GetFilamentK() const { return m_filamentK; }
    double GetVBulk() const;

    // Fault injection: a burnt-out (open) or shorted lamp.
    void SetLampOpen(bool open) { m_lampOpen = open; }
    void SetLampShorted(bool shorted) { m_lampShorted = shorted; }

private:
    void Step(double h);
    void Drive(double h);
    void Trip(int error);

    SParams m_params;
    int m_mode = ModeCurrent;
    bool m_outputOn = false;
    double m_currentSet = 0.0;
    double m_voltageSet = 0.0;
    double m_currentLimit;
    double m_voltageLimit;
    double m_currentRate = 1.0; // [A/s]
    double m_voltageRate = 5.0; // [V/s]
    int m_vsense = 1;
    double m_cableOhms = 0.0;
    double m_currentA = 0.0;
    double m_filamentK;
    bool m_lampOpen = false;
    bool m_lampShorted = false;
};
