#pragma once

#include "physics/SimAutoTune.h"
#include "physics/SimPid.h"
#include "physics/SimSensor.h"
#include "physics/SimStatusRegisters.h"
#include "physics/SimThermalPlant.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One TEC channel of a simulated unit: the mount, its sensors and the unit's own control loop, limits,
// condition register and fault handling. Setters answer 0 when the value was taken or the error number
// the unit queues (201 out of range, ...), leaving the setting unchanged on refusal.
class CSimTecUnit : public CSimStatusRegisters
{
public:
    enum EMode
    {
        ModeT = 1,
        ModeR = 2,
        ModeITE = 3,
    };

    // Condition register bits; each matches the bit of the output-off enable that lets it trip.
    enum ECondition : uint16_t
    {
        CondCurrentLimit = 0x1,
        CondVoltageLimit = 0x2,
        CondRLimit = 0x4,
        CondTHighLimit = 0x8,
        CondTLowLimit = 0x10,
        CondSensorOpen = 0x40,
        CondTecOpen = 0x80,
        CondOutputOn = 0x100,
        CondOutOfTolerance = 0x200,
        CondSensorShort = 0x400,
        CondInTolerance = 0x800,
        CondInterlock = 0x1000,
    };

    enum EHeatCool
    {
        HeatAndCool = 0,
        HeatOnly = 1,
        CoolOnly = 2,
    };

    struct SConfig
    {
        int sensorCount = 1;
        std::vector<int> sensorTypes{CSimSensor::Therm10uA}; // initial type per sensor (0: none)
        std::vector<uint32_t> supportedTypes; // per sensor, bit n: type code n selectable (none: any)
        double maxIteLimitA = 4.0;
        double complianceV = 8.0;
        double minTC = -99.0;
        double maxTC = 250.0;
        bool thermistorInOhms = false; // units that report thermistors in Ω with one 10 Ω-450 kΩ span
        double lm335MaxMv = 4730.0;    // older firmware measures LM335 only to 4250 mV
        CSimThermalPlant::SParams plant;
    };

    struct SFan
    {
        std::string speed = "OFF"; // OFF, ON, SLOW, MEDIUM, FAST or a voltage "%.1f"
        int mode = 1;              // 1 Auto .. 5 Heat
        int delayMin = 1;
    };

    CSimTecUnit();
    explicit CSimTecUnit(const SConfig& config);

    // Runs the unit for dt seconds of simulated time.
    void Advance(double dt);

    // Error numbers raised by the unit on its own (faults, AutoTune failure) since the last call.

    int SetMode(int mode);
    int GetMode() const { return m_mode; }
    int SetOutput(bool on);
    bool GetOutput() const { return m_outputOn; }

    int SetTSetPoint(double c);
    int SetRSetPoint(double value);
    int SetIteSetPoint(double a);
    double GetTSetPoint() const { return m_tSetC; }
    double GetRSetPoint() const { return m_rSet; }
    double GetIteSetPoint() const { return m_iteSetA; }

    int SetIteLimit(double a);
    double GetIteLimit() const { return m_iteLimitA; }
    int SetTLowLimit(double c, int sensor);
    int SetTHighLimit(double c, int sensor);
    double GetTLowLimit(int sensor) const;
    double GetTHighLimit(int sensor) const;
    int SetRLowLimit(double value);
    int SetRHighLimit(double value);
    double GetRLowLimit() const { return m_rLow; }
    double GetRHighLimit() const { return m_rHigh; }
    double MinR(int type) const;
    double MaxR(int type) const;

    // Readings. Sensor indices are zero-based; -1 means the active sensor.
    double GetTemperature(int sensor = -1) const;
    double GetSensorValue(int sensor = -1) const;
    double GetCurrent() const { return m_currentA; }
    double GetVoltage() const;
    int GetSensorCount() const { return static_cast<int>(m_sensors.size()); }
    bool IsSensorFitted(int sensor) const;
    int GetActiveSensor() const { return m_activeSensor; }
    int SetActiveSensor(int sensor);
    int SetSensorType(int type, int sensor);
    int GetSensorType(int sensor) const;
    int SetConstants(int sensor, int set, const std::vector<double>& values);
    bool GetConstants(int sensor, int set, std::vector<double>& out) const;

    int SetGain(int gain); // 0: PID
    int GetGain() const { return m_gain; }
    int SetPid(double p, double i, double d);
    const CSimPid::SGains& GetPid() const { return m_pid; }
    int SetTolerance(double c, double seconds);
    double GetToleranceC() const { return m_tolC; }
    double GetToleranceS() const { return m_tolS; }
    int SetHeatCool(int code);
    int GetHeatCool() const { return m_heatCool; }
    int SetCableR(double ohms);
    double GetCableR() const { return m_cableOhms; }
    int SetFan(const SFan& fan);
    const SFan& GetFan() const { return m_fan; }

    void SetAnalogEnabled(bool on) { m_analogEnabled = on; }
    bool GetAnalogEnabled() const { return m_analogEnabled; }
    // The input's resolution (0: 1 °C, 1: 0.1 °C, 2: 0.01 °C) and the T set points at 0 V and at 2.5 V,
    // each within the unit's T bounds.
    int SetAnalogSensitivity(int index);
    int GetAnalogSensitivity() const { return m_analogSensitivity; }
    int SetAnalogTsetAt0V(double c);
    double GetAnalogTsetAt0V() const { return m_analogAt0VC; }
    int SetAnalogTsetAt2V5(double c);
    double GetAnalogTsetAt2V5() const { return m_analogAt2V5C; }

    int StartAutoTune(double testPointC);
    int GetAutoTuneProgress() const { return m_autoTune.GetProgress(); }
    int GetAutoTuneResult() const { return m_autoTune.GetResult(); }

    // Fault injection: a sensor input open or shorted, the TEC module open, the interlock open.
    void InjectSensorFault(int sensor, CSimSensor::EState fault);
    void SetTecOpen(bool open) { m_tecOpen = open; }
    void SetInterlockOpen(bool open) { m_interlockOpen = open; }

    const CSimThermalPlant& GetPlant() const { return m_plant; }
    CSimThermalPlant& GetPlant() { return m_plant; }
    const SConfig& GetConfig() const { return m_config; }

private:
    void ControlStep(double dt);
    double Demand(double sensedC, double dt, double minA, double maxA);
    double ApplyCompliance(double currentA);
    void UpdateConditions(bool currentLimited, bool voltageLimited, double dt);
    void UpdateTolerance(double dt);
    void Trip(int error);
    int SensorIndex(int sensor) const;
    CSimSensor::EState SensorState(int index) const;
    int FaultError() const;
    double FixedGainP() const;
    double ReportScale(int type) const;
    void ClampSetPoints();
    void ResetRLimits();

    SConfig m_config;
    CSimThermalPlant m_plant;
    std::vector<CSimSensor> m_sensors;
    std::vector<double> m_tLowC;
    std::vector<double> m_tHighC;
    int m_activeSensor = 0;
    int m_mode = ModeT;
    bool m_outputOn = false;
    double m_tSetC = 25.0;
    double m_rSet = 10.0;
    double m_iteSetA = 0.0;
    double m_iteLimitA = 2.0;
    double m_rLow = 0.0;
    double m_rHigh = 0.0;
    int m_gain = 0;
    CSimPid::SGains m_pid{1.2, 0.06, 2.0};
    double m_tolC = 0.1;
    double m_tolS = 5.0;
    int m_heatCool = HeatAndCool;
    double m_cableOhms = 0.0;
    SFan m_fan;
    double m_currentA = 0.0;
    bool m_analogEnabled = false;
    int m_analogSensitivity = 1;
    double m_analogAt0VC = 0.0;
    double m_analogAt2V5C = 50.0;
    double m_inTolFor = 0.0; // [s]
    bool m_wasStable = false;
    bool m_tecOpen = false;
    bool m_interlockOpen = false;
    double m_pending = 0.0; // [s] simulated time not yet run by the controller
    CSimPid m_loop;
    CSimAutoTune m_autoTune;
};
