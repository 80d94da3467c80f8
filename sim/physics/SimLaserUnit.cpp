#include "physics/SimLaserUnit.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kErrOutOfRange = 201;
constexpr int kErrNotNow = 127;
constexpr int kErrInterlock = 501;
constexpr int kErrCurrentLimit = 504;
constexpr int kErrVoltageLimit = 505;
constexpr int kErrMdiLimit = 506;
constexpr int kErrMdpLimit = 507;
constexpr int kErrTecOff = 508;
constexpr int kErrTecTLimit = 521;
constexpr double kLeadOhms = 0.05;     // the cable the unit sees when it does not sense at the diode
constexpr double kPeakHeadroomV = 0.8; // the output stage's drop above the diode

bool InRange(double value, double low, double high)
{
    return value >= low && value <= high;
}
} // namespace

CSimLaserUnit::CSimLaserUnit() : CSimLaserUnit(SConfig{}) {}

CSimLaserUnit::CSimLaserUnit(const SConfig& config)
    : m_config(config), m_diode(config.diode), m_ldiLimit(config.maxLdiMa * 0.8),
      m_ldvLimit(config.maxLdvV * 0.5), m_mdiLimit(config.maxMdiUa), m_mdpLimit(config.maxMdpMw)
{
    m_ldiLimit = std::floor(std::min(m_ldiLimit, RangeMaxMa()));
    m_calMd = config.diode.monitorUaPerMw; // the factory responsivity matches the fitted photodiode
}

void CSimLaserUnit::Advance(double dt)
{
    if (m_outputOn)
        m_sinceOnS += dt;
    Regulate();
}

double CSimLaserUnit::Demand() const
{
    switch (m_mode)
    {
    case ModeMDI:
        return m_diode.CurrentForMonitorMa(m_mdiSet);
    case ModeMDP:
        return m_diode.CurrentForMonitorMa(m_mdpSet * m_calMd);
    case ModeLDV:
        return m_diode.CurrentForVoltageMa(m_ldvSet);
    default:
        return m_ldiSet;
    }
}

void CSimLaserUnit::Regulate()
{
    SetCondition(CondInterlock, m_interlockOpen);
    SetCondition(CondTecOff, !m_tecOn);
    SetCondition(CondTecTLimit, !m_tecInLimits);
    const bool waiting = m_outputOn && m_sinceOnS * 1000.0 < m_onDelayMs;
    SetCondition(CondOnDelay, waiting);
    if (!m_outputOn || waiting)
    {
        m_currentMa = 0.0;
        SetCondition(CondCurrentLimit | CondVoltageLimit | CondMdiLimit | CondMdpLimit, false);
        return;
    }
    const double wanted = Demand();
    m_currentMa = std::min(wanted, m_ldiLimit);
    SetCondition(CondCurrentLimit, wanted > m_ldiLimit);
    SetCondition(CondVoltageLimit, m_diode.VoltageV(m_currentMa) > m_ldvLimit);
    SetCondition(CondMdiLimit, GetMdi() > m_mdiLimit);
    SetCondition(CondMdpLimit, GetMdp() > m_mdpLimit);
    if (const int fault = FaultError())
        Trip(fault);
}

// The error of the first condition that turns the output off, 0 when none does. Interlock and the
// compliance voltage always do; the others as the output-off enable says.
int CSimLaserUnit::FaultError() const
{
    static constexpr STripRule kRules[] = {
        {CondInterlock, kErrInterlock, true},        {CondVoltageLimit, kErrVoltageLimit, true},
        {CondCurrentLimit, kErrCurrentLimit, false}, {CondMdiLimit, kErrMdiLimit, false},
        {CondMdpLimit, kErrMdpLimit, false},         {CondTecOff, kErrTecOff, false},
        {CondTecTLimit, kErrTecTLimit, false},
    };
    return FirstTripError(kRules);
}

void CSimLaserUnit::Trip(int error)
{
    m_outputOn = false;
    m_currentMa = 0.0;
    SetCondition(CondOutputOn | CondOnDelay, false);
    AddError(error);
}

void CSimLaserUnit::SetTecState(double mountC, bool outputOn, bool inLimits)
{
    m_diode.SetTemperature(mountC);
    m_tecOn = outputOn;
    m_tecInLimits = inLimits;
}

// ---- modes and output ----

bool CSimLaserUnit::IsModeSupported(int mode) const
{
    if (IsPulsedMode(mode))
        return m_config.pulse;
    return mode >= ModeICW && mode <= ModeLDV;
}

int CSimLaserUnit::SetMode(int mode)
{
    if (!IsModeSupported(mode))
        return kErrOutOfRange;
    m_mode = mode;
    if (IsPulsedMode(mode) && !DutyInRange(m_dutyPct))
    {
        // Entering pulsed operation with a width the frequency cannot carry: the width gives way.
        m_dutyPct = std::clamp(m_dutyPct, m_bounds.minDutyPct, m_bounds.maxDutyPct);
        m_widthMs = m_dutyPct * 10.0 / m_freqHz;
    }
    Regulate();
    return 0;
}

int CSimLaserUnit::SetOutput(bool on)
{
    if (!on)
    {
        m_outputOn = false;
        m_currentMa = 0.0;
        SetCondition(CondOutputOn | CondOnDelay, false);
        return 0;
    }
    if (m_outputOn)
        return 0;
    if (m_interlockOpen)
        return kErrInterlock;
    m_outputOn = true;
    m_sinceOnS = 0.0;
    SetCondition(CondOutputOn, true);
    Regulate();
    return 0;
}

// ---- set points and limits ----

int CSimLaserUnit::SetLdi(double ma)
{
    if (!InRange(ma, 0.0, m_ldiLimit))
        return kErrOutOfRange;
    m_ldiSet = ma;
    return 0;
}

int CSimLaserUnit::SetLdv(double v)
{
    if (!InRange(v, 0.0, m_ldvLimit))
        return kErrOutOfRange;
    m_ldvSet = v;
    return 0;
}

int CSimLaserUnit::SetMdi(double ua)
{
    if (!InRange(ua, 0.0, m_mdiLimit))
        return kErrOutOfRange;
    m_mdiSet = ua;
    return 0;
}

int CSimLaserUnit::SetMdp(double mw)
{
    if (!InRange(mw, 0.0, m_mdpLimit))
        return kErrOutOfRange;
    m_mdpSet = mw;
    return 0;
}

int CSimLaserUnit::SetLdiLimit(double ma)
{
    if (!InRange(ma, 0.0, RangeMaxMa()))
        return kErrOutOfRange;
    m_ldiLimit = ma;
    ClampSetPoints();
    return 0;
}

int CSimLaserUnit::SetLdvLimit(double v)
{
    if (!InRange(v, 0.0, m_config.maxLdvV))
        return kErrOutOfRange;
    m_ldvLimit = v;
    ClampSetPoints();
    return 0;
}

int CSimLaserUnit::SetMdiLimit(double ua)
{
    if (!InRange(ua, 0.0, m_config.maxMdiUa))
        return kErrOutOfRange;
    m_mdiLimit = ua;
    ClampSetPoints();
    return 0;
}

int CSimLaserUnit::SetMdpLimit(double mw)
{
    if (!InRange(mw, 0.0, m_config.maxMdpMw))
        return kErrOutOfRange;
    m_mdpLimit = mw;
    ClampSetPoints();
    return 0;
}

// A limit lowered below a set point drags the set point with it.
void CSimLaserUnit::ClampSetPoints()
{
    m_ldiSet = std::min(m_ldiSet, m_ldiLimit);
    m_ldvSet = std::min(m_ldvSet, m_ldvLimit);
    m_mdiSet = std::min(m_mdiSet, m_mdiLimit);
    m_mdpSet = std::min(m_mdpSet, m_mdpLimit);
    m_qcwLowMa = std::min(m_qcwLowMa, m_ldiLimit);
}

// ---- readings ----

double CSimLaserUnit::GetLdv() const
{
    const double diodeV = m_diode.VoltageV(m_currentMa);
    // Without remote sensing the unit measures at its terminals, the lead included, less the cable
    // resistance the user told it to compensate.
    if (m_vsense != 0)
        return diodeV;
    return std::max(0.0, diodeV + m_currentMa / 1000.0 * (kLeadOhms - m_cableOhms));
}

double CSimLaserUnit::GetMdp() const
{
    return m_calMd > 0.0 ? GetMdi() / m_calMd : 0.0;
}

double CSimLaserUnit::GetVBulk() const
{
    return m_config.bulkV - 0.5 * m_currentMa / 1000.0; // the supply sags a little under load
}

double CSimLaserUnit::GetVPeak() const
{
    return m_currentMa > 0.0 ? m_diode.VoltageV(m_currentMa) + kPeakHeadroomV : 0.0;
}

// ---- range and settings ----

double CSimLaserUnit::RangeMaxMa() const
{
    return m_config.dualRange && m_range == 0 ? m_config.maxLdiMa / 2.0 : m_config.maxLdiMa;
}

int CSimLaserUnit::SetRange(int range)
{
    if (range != 0 && range != 1)
        return kErrOutOfRange;
    if (m_outputOn && range != m_range)
        return kErrNotNow;
    m_range = range;
    m_ldiLimit = std::min(m_ldiLimit, RangeMaxMa());
    ClampSetPoints();
    return 0;
}

int CSimLaserUnit::SetOnDelay(int ms)
{
    if (!InRange(ms, 0, 30000))
        return kErrOutOfRange;
    m_onDelayMs = ms;
    return 0;
}

int CSimLaserUnit::SetCalMd(double uaPerMw)
{
    // 0 clears the photodiode calibration: no power reading, no power mode.
    if (uaPerMw != 0.0 && !InRange(uaPerMw, 0.001, 10000.0))
        return kErrOutOfRange;
    m_calMd = uaPerMw;
    return 0;
}

int CSimLaserUnit::SetPdBias(double v)
{
    if (!InRange(v, 0.0, 10.0))
        return kErrOutOfRange;
    m_pdBias = v;
    return 0;
}

int CSimLaserUnit::SetCableR(double ohms)
{
    if (!InRange(ohms, 0.0, 10.0))
        return kErrOutOfRange;
    m_cableOhms = ohms;
    return 0;
}

int CSimLaserUnit::SetVSense(int on)
{
    if (on != 0 && on != 1)
        return kErrOutOfRange;
    m_vsense = on;
    return 0;
}

int CSimLaserUnit::SetTolerance(double ma, double seconds)
{
    if (!InRange(ma, 0.01, 100.0) || !InRange(seconds, 0.1, 50.0))
        return kErrOutOfRange;
    m_tolMa = ma;
    m_tolS = seconds;
    return 0;
}

// ---- pulse timing ----

bool CSimLaserUnit::DutyInRange(double pct) const
{
    return InRange(pct, m_bounds.minDutyPct, m_bounds.maxDutyPct);
}

bool CSimLaserUnit::FreqInRange(double hz) const
{
    return InRange(hz, m_bounds.minFreqHz, m_bounds.maxFreqHz);
}

int CSimLaserUnit::SetFrequency(double hz)
{
    const double duty = m_widthMs * hz / 10.0;
    if (!FreqInRange(hz) || (IsPulsedMode(m_mode) && !DutyInRange(duty)))
        return kErrOutOfRange;
    m_freqHz = hz;
    m_dutyPct = duty;
    return 0;
}

int CSimLaserUnit::SetWidthHoldFrequency(double ms)
{
    const double duty = ms * m_freqHz / 10.0;
    if (!InRange(ms, m_bounds.minWidthMs, m_bounds.maxWidthMs) ||
        (IsPulsedMode(m_mode) && !DutyInRange(duty)))
        return kErrOutOfRange;
    m_widthMs = ms;
    m_dutyPct = duty;
    return 0;
}

int CSimLaserUnit::SetWidthHoldDuty(double ms)
{
    if (!InRange(ms, m_bounds.minWidthMs, m_bounds.maxWidthMs))
        return kErrOutOfRange;
    const double freq = m_dutyPct * 10.0 / ms;
    if (!FreqInRange(freq))
        return kErrOutOfRange;
    m_widthMs = ms;
    m_freqHz = freq;
    return 0;
}

int CSimLaserUnit::SetDutyCycle(double pct)
{
    const double freq = pct * 10.0 / m_widthMs;
    if (!DutyInRange(pct) || !FreqInRange(freq))
        return kErrOutOfRange;
    m_dutyPct = pct;
    m_freqHz = freq;
    return 0;
}

int CSimLaserUnit::SetDelayIn(double s)
{
    if (!InRange(s, m_bounds.minDelayS, m_bounds.maxDelayS))
        return kErrOutOfRange;
    m_delayInS = s;
    return 0;
}

int CSimLaserUnit::SetDelayOut(double s)
{
    if (!InRange(s, m_bounds.minDelayS, m_bounds.maxDelayS))
        return kErrOutOfRange;
    m_delayOutS = s;
    return 0;
}

int CSimLaserUnit::SetQcwCount(int count)
{
    if (!InRange(count, 0, m_bounds.maxCount))
        return kErrOutOfRange;
    m_qcwCount = count;
    return 0;
}

int CSimLaserUnit::SetQcwHold(int on)
{
    if (on != 0 && on != 1)
        return kErrOutOfRange;
    m_qcwHold = on;
    return 0;
}

int CSimLaserUnit::SetQcwLow(double ma)
{
    if (!InRange(ma, 0.0, m_ldiLimit))
        return kErrOutOfRange;
    m_qcwLowMa = ma;
    return 0;
}

int CSimLaserUnit::SetQcwLowMode(int on)
{
    if (on != 0 && on != 1)
        return kErrOutOfRange;
    m_qcwLowMode = on;
    return 0;
}
