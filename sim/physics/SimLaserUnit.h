#pragma once

#include "physics/SimLaserDiode.h"
#include "physics/SimStatusRegisters.h"

#include <cstdint>

// One laser-diode driver channel: modes, set points, limits, output switch with on-delay, current
// ranges and pulse/QCW timing, driving a CSimLaserDiode. Set points in the units the wire carries:
// LDI [mA], LDV [V], MDI [µA], MDP [mW]. Setters answer 0 or the error number the unit queues,
// leaving the setting unchanged on refusal.
class CSimLaserUnit : public CSimStatusRegisters
{
public:
    enum EMode
    {
        ModeICW = 1,
        ModeIHBW = 2,
        ModePulse = 3,
        ModeTrig = 4,
        ModeBurst = 5,
        ModeMDI = 6,
        ModeMDP = 7,
        ModeLDV = 8,
    };

    // Condition register bits; each matches the bit of the output-off enable that lets it trip.
    enum ECondition : uint16_t
    {
        CondCurrentLimit = 0x1,
        CondVoltageLimit = 0x2,
        CondMdiLimit = 0x4,
        CondMdpLimit = 0x8,
        CondInterlock = 0x10,
        CondOutputOn = 0x20,
        CondOnDelay = 0x40,
        CondOutOfTolerance = 0x200,
        CondTecOff = 0x400,
        CondTecTLimit = 0x800,
    };

    struct SConfig
    {
        double maxLdiMa = 500.0; // high range
        double maxLdvV = 10.0;
        double maxMdiUa = 5000.0;
        double maxMdpMw = 100.0;
        bool dualRange = false;
        bool pulse = false;
        bool qcw = false;
        double bulkV = 12.0; // [V] the driver's own supply
        CSimLaserDiode::SParams diode;
    };

    // Bounds of the pulse timing: pulse width [ms], frequency [Hz], duty [%], delays [s], count.
    struct SPulseBounds
    {
        double minWidthMs = 0.001;
        double maxWidthMs = 1000.0;
        double minFreqHz = 1.0;
        double maxFreqHz = 1000.0;
        double minDutyPct = 0.1;
        double maxDutyPct = 90.0;
        double minDelayS = 0.0;
        double maxDelayS = 100.0;
        int maxCount = 60000;
    };

    CSimLaserUnit();
    explicit CSimLaserUnit(const SConfig& config);

    void Advance(double dt);

    bool IsModeSupported(int mode) const;
    static bool IsPulsedMode(int mode) { return mode == ModePulse || mode == ModeTrig || mode == ModeBurst; }
    int SetMode(int mode);
    int GetMode() const { return m_mode; }
    int SetOutput(bool on);
    bool GetOutput() const { return m_outputOn; }

    int SetLdi(double ma);
    int SetLdv(double v);
    int SetMdi(double ua);
    int SetMdp(double mw);
    double GetLdiSet() const { return m_ldiSet; }
    double GetLdvSet() const { return m_ldvSet; }
    double GetMdiSet() const { return m_mdiSet; }
    double GetMdpSet() const { return m_mdpSet; }

    int SetLdiLimit(double ma);
    int SetLdvLimit(double v);
    int SetMdiLimit(double ua);
    int SetMdpLimit(double mw);
    double GetLdiLimit() const { return m_ldiLimit; }
    double GetLdvLimit() const { return m_ldvLimit; }
    double GetMdiLimit() const { return m_mdiLimit; }
    double GetMdpLimit() const { return m_mdpLimit; }

    // Readings: what flows and what the monitor sees now.
    double GetLdi() const { return m_currentMa; }
    double GetLdv() const;
    double GetMdi() const { return m_diode.MonitorUa(m_currentMa); }
    double GetMdp() const; // the monitor current through the user's responsivity
    double GetOpticalPowerMw() const { return m_diode.PowerMw(m_currentMa); }
    double GetVBulk() const;
    double GetVPeak() const;

    // Current range: 0 low (half the maximum), 1 high; single-range units are always high.
    int SetRange(int range);
    int GetRange() const { return m_range; }
    double RangeMaxMa() const;

    int SetOnDelay(int ms);
    int GetOnDelay() const { return m_onDelayMs; }
    int SetCalMd(double uaPerMw);
    double GetCalMd() const { return m_calMd; }
    int SetPdBias(double v);
    double GetPdBias() const { return m_pdBias; }
    int SetCableR(double ohms);
    double GetCableR() const { return m_cableOhms; }
    int SetVSense(int on);
    int GetVSense() const { return m_vsense; }
    int SetTolerance(double ma, double seconds);
    double GetToleranceMa() const { return m_tolMa; }
    double GetToleranceS() const { return m_tolS; }

    // Pulse timing, coupled by duty [%] = width [ms] × frequency [Hz] / 10 while a pulsed mode runs.
    int SetFrequency(double hz);          // width held, duty follows
    int SetWidthHoldFrequency(double ms); // "PWF": duty follows
    int SetWidthHoldDuty(double ms);      // "PWP": frequency follows
    int SetDutyCycle(double pct);         // width held, frequency follows
    double GetFrequency() const { return m_freqHz; }
    double GetWidth() const { return m_widthMs; }
    double GetDutyCycle() const { return m_dutyPct; }
    int SetDelayIn(double s);
    int SetDelayOut(double s);
    double GetDelayIn() const { return m_delayInS; }
    double GetDelayOut() const { return m_delayOutS; }
    int SetQcwCount(int count);
    int GetQcwCount() const { return m_qcwCount; }
    int SetQcwHold(int on);
    int GetQcwHold() const { return m_qcwHold; }
    int SetQcwLow(double ma);
    double GetQcwLow() const { return m_qcwLowMa; }
    int SetQcwLowMode(int on);
    int GetQcwLowMode() const { return m_qcwLowMode; }
    const SPulseBounds& GetPulseBounds() const { return m_bounds; }

    // The TEC that carries the diode on combined units: its mount temperature and whether its output
    // is on and within its limits.
    void SetTecState(double mountC, bool outputOn, bool inLimits);
    void SetInterlockOpen(bool open) { m_interlockOpen = open; }

    CSimLaserDiode& GetDiode() { return m_diode; }
    const SConfig& GetConfig() const { return m_config; }

private:
    double Demand() const;
    void Regulate();
    void Trip(int error);
    int FaultError() const;
    bool DutyInRange(double pct) const;
    bool FreqInRange(double hz) const;
    void ClampSetPoints();

    SConfig m_config;
    SPulseBounds m_bounds;
    CSimLaserDiode m_diode;
    int m_mode = ModeICW;
    bool m_outputOn = false;
    double m_ldiSet = 0.0;
    double m_ldvSet = 0.0;
    double m_mdiSet = 0.0;
    double m_mdpSet = 0.0;
    double m_ldiLimit;
    double m_ldvLimit;
    double m_mdiLimit;
    double m_mdpLimit;
    int m_range = 1;
    int m_onDelayMs = 0;
    double m_sinceOnS = 0.0;
    double m_calMd = 10.0;
    double m_pdBias = 0.0;
    double m_cableOhms = 0.0;
    int m_vsense = 0;
    double m_tolMa = 1.0;
    double m_tolS = 1.0;
    double m_freqHz = 1000.0;
    double m_widthMs = 0.1;
    double m_dutyPct = 10.0;
    double m_delayInS = 0.0;
    double m_delayOutS = 0.0;
    int m_qcwCount = 1;
    int m_qcwHold = 0;
    double m_qcwLowMa = 0.0;
    int m_qcwLowMode = 0;
    double m_currentMa = 0.0;
    bool m_tecOn = true;
    bool m_tecInLimits = true;
    bool m_interlockOpen = false;
};
