#include "physics/SimTecUnit.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace
{
constexpr double kControlPeriodS = 0.05;
constexpr double kUnfittedReading = -999.0;
constexpr int kErrOutOfRange = 201;
constexpr int kErrInterlock = 401;
constexpr int kErrSensorOpen = 402;
constexpr int kErrTecOpen = 403;
constexpr int kErrCurrentLimit = 404;
constexpr int kErrVoltageLimit = 405;
constexpr int kErrRLimit = 406;
constexpr int kErrTLimit = 407;
constexpr int kErrSensorChange = 409;
constexpr int kErrOutOfTolerance = 410;
constexpr int kErrSensorShort = 415;
constexpr int kErrAutoTuneFailed = 436;
constexpr int kErrAutoTuneMode = 437;
// Sensors bonded at different spots of the mount read slightly apart.
constexpr std::array<double, 7> kSensorOffsetK{0.0, 0.12, -0.08, 0.2, -0.15, 0.05, -0.03};
constexpr std::array<int, 8> kFixedGains{1, 3, 5, 10, 30, 50, 100, 300};
constexpr double kFixedGainIntegralS = 30.0; // integral time of the fixed-gain loop

bool InRange(double value, double low, double high)
{
    return value >= low && value <= high;
}

bool IsThermistor(int type)
{
    return CSimSensor::ConstSetOf(type) == CSimSensor::ThermistorSet;
}
} // namespace

CSimTecUnit::CSimTecUnit() : CSimTecUnit(SConfig{}) {}

// Limits, sensor faults and an open module turn the output off unless the user says otherwise.
CSimTecUnit::CSimTecUnit(const SConfig& config)
    : CSimStatusRegisters(CondTHighLimit | CondTLowLimit | CondSensorOpen | CondTecOpen | CondSensorShort),
      m_config(config), m_plant(config.plant)
{
    const int count = std::clamp(config.sensorCount, 1, static_cast<int>(kSensorOffsetK.size()));
    for (int i = 0; i < count; ++i)
    {
        const int type = i < static_cast<int>(config.sensorTypes.size()) ? config.sensorTypes[i] : 0;
        m_sensors.emplace_back(type);
    }
    m_tLowC.assign(count, -10.0);
    m_tHighC.assign(count, 80.0);
    m_iteLimitA = std::min(m_iteLimitA, config.maxIteLimitA);
    ResetRLimits();
    m_rSet = std::clamp(GetSensorValue(0), m_rLow, m_rHigh);
}

// ---- time ----

void CSimTecUnit::Advance(double dt)
{
    if (!(dt > 0.0))
        return;
    m_pending += dt;
    while (m_pending >= kControlPeriodS)
    {
        ControlStep(kControlPeriodS);
        m_pending -= kControlPeriodS;
    }
}

void CSimTecUnit::ControlStep(double dt)
{
    bool currentLimited = false;
    bool voltageLimited = false;
    m_currentA = 0.0;
    if (m_outputOn && !m_tecOpen)
    {
        const double minA = m_heatCool == HeatOnly ? 0.0 : -m_iteLimitA;
        const double maxA = m_heatCool == CoolOnly ? 0.0 : m_iteLimitA;
        const double wanted = std::clamp(Demand(GetTemperature(-1), dt, minA, maxA), minA, maxA);
        currentLimited = m_iteLimitA > 0.0 && std::fabs(wanted) >= m_iteLimitA * 0.999;
        m_currentA = ApplyCompliance(wanted);
        voltageLimited = m_currentA != wanted;
    }
    m_plant.Advance(dt, m_currentA);
    UpdateConditions(currentLimited, voltageLimited, dt);
}

// The current the unit asks for in its present mode, within [minA, maxA].
double CSimTecUnit::Demand(double sensedC, double dt, double minA, double maxA)
{
    if (m_autoTune.IsRunning())
    {
        const double out = m_autoTune.Step(sensedC, dt, minA, maxA);
        if (m_autoTune.GetResult() == CSimAutoTune::Succeeded)
        {
            m_pid = m_autoTune.GetGains();
            m_gain = 0;
            m_loop.Reset();
            m_loop.PresetOutput(out, m_pid);
        }
        else if (m_autoTune.GetResult() == CSimAutoTune::Failed)
            Trip(kErrAutoTuneFailed);
        return out;
    }
    if (m_mode == ModeITE)
        return m_iteSetA;
    double targetC = m_tSetC;
    if (m_mode == ModeR)
    {
        const CSimSensor& sensor = m_sensors[m_activeSensor];
        targetC = sensor.TFromValue(m_rSet / ReportScale(sensor.GetType()));
    }
    if (m_gain == 0)
        return m_loop.Update(targetC, sensedC, dt, m_pid, minA, maxA);
    const double p = FixedGainP();
    return m_loop.Update(targetC, sensedC, dt, {p, p / kFixedGainIntegralS, 0.0}, minA, maxA);
}

double CSimTecUnit::FixedGainP() const
{
    return 0.05 * m_gain; // [A/K]
}

double CSimTecUnit::ApplyCompliance(double currentA)
{
    // The unit drives the module and its cable: V = I·(R_tec + R_cable) + Seebeck voltage.
    const double ohms = m_plant.GetParams().tecOhms + m_cableOhms;
    const double emf = m_plant.VoltageAt(0.0);
    const double hi = (m_config.complianceV - emf) / ohms;
    const double lo = (-m_config.complianceV - emf) / ohms;
    return std::clamp(currentA, std::min(lo, 0.0), std::max(hi, 0.0));
}

// ---- conditions and faults ----

void CSimTecUnit::UpdateConditions(bool currentLimited, bool voltageLimited, double dt)
{
    const CSimSensor::EState state = SensorState(m_activeSensor);
    SetCondition(CondSensorOpen, state == CSimSensor::Open);
    SetCondition(CondSensorShort, state == CSimSensor::Short);
    SetCondition(CondTecOpen, m_tecOpen);
    SetCondition(CondInterlock, m_interlockOpen);
    SetCondition(CondCurrentLimit, currentLimited);
    SetCondition(CondVoltageLimit, voltageLimited);

    bool high = false;
    bool low = false;
    for (int i = 0; i < GetSensorCount(); ++i)
    {
        if (!IsSensorFitted(i) || SensorState(i) != CSimSensor::Normal)
            continue;
        high = high || GetTemperature(i) > m_tHighC[i];
        low = low || GetTemperature(i) < m_tLowC[i];
    }
    SetCondition(CondTHighLimit, high);
    SetCondition(CondTLowLimit, low);
    const double value = GetSensorValue(-1);
    SetCondition(CondRLimit, state == CSimSensor::Normal && !InRange(value, m_rLow, m_rHigh));
    UpdateTolerance(dt);

    if (!m_outputOn)
        return;
    if (const int fault = FaultError())
        Trip(fault);
}

void CSimTecUnit::UpdateTolerance(double dt)
{
    const bool regulating = m_outputOn && m_mode == ModeT && !m_autoTune.IsRunning();
    const bool within = regulating && std::fabs(GetTemperature(-1) - m_tSetC) <= m_tolC;
    m_inTolFor = within ? m_inTolFor + dt : 0.0;
    if (m_inTolFor >= m_tolS)
        m_wasStable = true;
    if (!regulating)
        m_wasStable = false;
    SetCondition(CondInTolerance, within && m_inTolFor >= m_tolS);
    SetCondition(CondOutOfTolerance, m_wasStable && !within);
}

// The error of the first condition that turns the output off, 0 when none does. Interlock, an open or
// shorted sensor and an open module always do; the others as the output-off enable says.
int CSimTecUnit::FaultError() const
{
    static constexpr STripRule kRules[] = {
        {CondInterlock, kErrInterlock, true},
        {CondSensorOpen, kErrSensorOpen, true},
        {CondSensorShort, kErrSensorShort, true},
        {CondTecOpen, kErrTecOpen, true},
        {CondCurrentLimit, kErrCurrentLimit, false},
        {CondVoltageLimit, kErrVoltageLimit, false},
        {CondRLimit, kErrRLimit, false},
        {CondTHighLimit, kErrTLimit, false},
        {CondTLowLimit, kErrTLimit, false},
        {CondOutOfTolerance, kErrOutOfTolerance, false},
    };
    return FirstTripError(kRules);
}

void CSimTecUnit::Trip(int error)
{
    m_outputOn = false;
    m_currentA = 0.0;
    SetCondition(CondOutputOn, false);
    m_autoTune.Abort();
    AddError(error);
}

void CSimTecUnit::InjectSensorFault(int sensor, CSimSensor::EState fault)
{
    const int index = SensorIndex(sensor);
    if (index >= 0)
        m_sensors[index].InjectFault(fault);
    UpdateConditions(false, false, 0.0);
}

// ---- output and mode ----

int CSimTecUnit::SetMode(int mode)
{
    if (mode != ModeT && mode != ModeR && mode != ModeITE)
        return kErrOutOfRange;
    if (mode != m_mode)
    {
        m_autoTune.Abort();
        m_loop.Reset();
        m_loop.PresetOutput(m_currentA, m_pid);
    }
    m_mode = mode;
    return 0;
}

int CSimTecUnit::SetOutput(bool on)
{
    if (!on)
    {
        m_autoTune.Abort();
        m_outputOn = false;
        m_currentA = 0.0;
        SetCondition(CondOutputOn, false);
        return 0;
    }
    if (m_outputOn)
        return 0;
    UpdateConditions(false, false, 0.0);
    m_outputOn = true;
    if (const int fault = FaultError())
    {
        m_outputOn = false;
        return fault;
    }
    m_loop.Reset();
    m_wasStable = false;
    m_inTolFor = 0.0;
    SetCondition(CondOutputOn, true);
    return 0;
}

// ---- set points and limits ----

int CSimTecUnit::SetTSetPoint(double c)
{
    if (!InRange(c, m_tLowC[m_activeSensor], m_tHighC[m_activeSensor]))
        return kErrOutOfRange;
    if (c != m_tSetC)
        m_wasStable = false;
    m_tSetC = c;
    return 0;
}

int CSimTecUnit::SetRSetPoint(double value)
{
    if (!InRange(value, m_rLow, m_rHigh))
        return kErrOutOfRange;
    m_rSet = value;
    return 0;
}

int CSimTecUnit::SetIteSetPoint(double a)
{
    if (std::fabs(a) > m_iteLimitA)
        return kErrOutOfRange;
    m_iteSetA = a;
    return 0;
}

int CSimTecUnit::SetIteLimit(double a)
{
    if (!InRange(a, 0.0, m_config.maxIteLimitA))
        return kErrOutOfRange;
    m_iteLimitA = a;
    ClampSetPoints();
    return 0;
}

int CSimTecUnit::SetTLowLimit(double c, int sensor)
{
    const int index = SensorIndex(sensor);
    if (index < 0 || !InRange(c, m_config.minTC, m_tHighC[index]))
        return kErrOutOfRange;
    m_tLowC[index] = c;
    ClampSetPoints();
    return 0;
}

int CSimTecUnit::SetTHighLimit(double c, int sensor)
{
    const int index = SensorIndex(sensor);
    if (index < 0 || !InRange(c, m_tLowC[index], m_config.maxTC))
        return kErrOutOfRange;
    m_tHighC[index] = c;
    ClampSetPoints();
    return 0;
}

double CSimTecUnit::GetTLowLimit(int sensor) const
{
    const int index = SensorIndex(sensor);
    return index < 0 ? 0.0 : m_tLowC[index];
}

double CSimTecUnit::GetTHighLimit(int sensor) const
{
    const int index = SensorIndex(sensor);
    return index < 0 ? 0.0 : m_tHighC[index];
}

int CSimTecUnit::SetRLowLimit(double value)
{
    if (!InRange(value, MinR(GetSensorType(-1)), m_rHigh))
        return kErrOutOfRange;
    m_rLow = value;
    ClampSetPoints();
    return 0;
}

int CSimTecUnit::SetRHighLimit(double value)
{
    if (!InRange(value, m_rLow, MaxR(GetSensorType(-1))))
        return kErrOutOfRange;
    m_rHigh = value;
    ClampSetPoints();
    return 0;
}

// Thermistor values are kΩ on most units, Ω on those that report every sensor in Ω.
double CSimTecUnit::ReportScale(int type) const
{
    return m_config.thermistorInOhms && IsThermistor(type) ? 1000.0 : 1.0;
}

double CSimTecUnit::MinR(int type) const
{
    if (m_config.thermistorInOhms)
        return 10.0;
    return CSimSensor::MinValue(type);
}

double CSimTecUnit::MaxR(int type) const
{
    if (m_config.thermistorInOhms)
        return 450000.0;
    if (type == CSimSensor::LM335)
        return m_config.lm335MaxMv;
    return CSimSensor::MaxValue(type);
}

// A limit moved past a set point drags the set point with it, as the unit's front panel would.
void CSimTecUnit::ClampSetPoints()
{
    m_tSetC = std::clamp(m_tSetC, m_tLowC[m_activeSensor], m_tHighC[m_activeSensor]);
    m_rSet = std::clamp(m_rSet, m_rLow, m_rHigh);
    m_iteSetA = std::clamp(m_iteSetA, -m_iteLimitA, m_iteLimitA);
}

void CSimTecUnit::ResetRLimits()
{
    const int type = GetSensorType(-1);
    m_rLow = MinR(type);
    m_rHigh = MaxR(type);
}

// ---- sensors ----

int CSimTecUnit::SensorIndex(int sensor) const
{
    if (sensor < 0)
        return m_activeSensor;
    return sensor < GetSensorCount() ? sensor : -1;
}

bool CSimTecUnit::IsSensorFitted(int sensor) const
{
    const int index = SensorIndex(sensor);
    return index >= 0 && CSimSensor::IsValidType(m_sensors[index].GetType());
}

CSimSensor::EState CSimTecUnit::SensorState(int index) const
{
    const CSimSensor& sensor = m_sensors[index];
    if (sensor.GetInjectedFault() != CSimSensor::Normal || !IsSensorFitted(index))
        return sensor.GetInjectedFault();
    const double scale = ReportScale(sensor.GetType());
    const double value = sensor.ValueFromT(m_plant.GetSensedC() + kSensorOffsetK[index]) * scale;
    // Past the top of its span an input reads as open, below the bottom as shorted, whichever way
    // the temperature went (a cold thermistor opens, a hot one shorts).
    if (value > MaxR(sensor.GetType()))
        return CSimSensor::Open;
    if (value < MinR(sensor.GetType()))
        return CSimSensor::Short;
    return CSimSensor::Normal;
}

double CSimTecUnit::GetSensorValue(int sensor) const
{
    const int index = SensorIndex(sensor);
    if (index < 0 || !IsSensorFitted(index))
        return kUnfittedReading;
    const CSimSensor& s = m_sensors[index];
    const int type = s.GetType();
    switch (SensorState(index))
    {
    case CSimSensor::Open:
        return MaxR(type);
    case CSimSensor::Short:
        return MinR(type);
    default:
        break;
    }
    const double scale = ReportScale(type);
    return s.ValueFromT(m_plant.GetSensedC() + kSensorOffsetK[index]) * scale;
}

double CSimTecUnit::GetTemperature(int sensor) const
{
    const int index = SensorIndex(sensor);
    if (index < 0 || !IsSensorFitted(index))
        return kUnfittedReading;
    if (SensorState(index) == CSimSensor::Normal)
        return m_plant.GetSensedC() + kSensorOffsetK[index];
    const CSimSensor& s = m_sensors[index];
    const double scale = ReportScale(s.GetType());
    return s.TFromValue(GetSensorValue(index) / scale);
}

double CSimTecUnit::GetVoltage() const
{
    return m_plant.VoltageAt(m_currentA);
}

int CSimTecUnit::SetActiveSensor(int sensor)
{
    if (sensor < 0 || sensor >= GetSensorCount() || !IsSensorFitted(sensor))
        return kErrOutOfRange;
    m_activeSensor = sensor;
    ResetRLimits();
    ClampSetPoints();
    return 0;
}

int CSimTecUnit::GetSensorType(int sensor) const
{
    const int index = SensorIndex(sensor);
    return index < 0 ? 0 : m_sensors[index].GetType();
}

int CSimTecUnit::SetSensorType(int type, int sensor)
{
    const int index = SensorIndex(sensor);
    const auto& supported = m_config.supportedTypes;
    const uint32_t mask = index >= 0 && index < static_cast<int>(supported.size()) ? supported[index] : 0xFEu;
    if (index < 0 || !CSimSensor::IsValidType(type) || !(mask & (1u << type)))
        return kErrOutOfRange;
    if (type == m_sensors[index].GetType())
        return 0;
    m_sensors[index].SetType(type);
    if (index != m_activeSensor)
        return 0;
    // The control sensor changed under the loop: the unit resets the sensor limits and drops the output.
    ResetRLimits();
    ClampSetPoints();
    if (m_outputOn)
        Trip(kErrSensorChange);
    return 0;
}

int CSimTecUnit::SetConstants(int sensor, int set, const std::vector<double>& values)
{
    const int index = SensorIndex(sensor);
    if (index < 0 || CSimSensor::ConstCount(set) == 0)
        return kErrOutOfRange;
    if (static_cast<int>(values.size()) != CSimSensor::ConstCount(set))
        return 126; // too few or too many elements
    std::array<double, 4> packed{};
    std::copy(values.begin(), values.end(), packed.begin());
    if (set == CSimSensor::RtdSet && !(packed[3] > 0.0))
        return kErrOutOfRange;
    if ((set == CSimSensor::AD590Set || set == CSimSensor::LM335Set) && packed[0] == 0.0)
        return kErrOutOfRange;
    if (set == CSimSensor::ThermistorSet && packed[1] == 0.0)
        return kErrOutOfRange;
    m_sensors[index].SetConstants(set, packed);
    return 0;
}

bool CSimTecUnit::GetConstants(int sensor, int set, std::vector<double>& out) const
{
    const int index = SensorIndex(sensor);
    std::array<double, 4> all{};
    if (index < 0 || !m_sensors[index].GetConstants(set, all))
        return false;
    out.assign(all.begin(), all.begin() + CSimSensor::ConstCount(set));
    return true;
}

// ---- loop settings ----

int CSimTecUnit::SetGain(int gain)
{
    if (gain != 0 && std::find(kFixedGains.begin(), kFixedGains.end(), gain) == kFixedGains.end())
        return kErrOutOfRange;
    if (gain != m_gain)
        m_loop.Reset();
    m_gain = gain;
    return 0;
}

int CSimTecUnit::SetPid(double p, double i, double d)
{
    if (!InRange(p, 0.0, 1000.0) || !InRange(i, 0.0, 1000.0) || !InRange(d, 0.0, 1000.0))
        return kErrOutOfRange;
    m_pid = {p, i, d};
    return 0;
}

int CSimTecUnit::SetTolerance(double c, double seconds)
{
    if (!InRange(c, 0.01, 10.0) || !InRange(seconds, 0.1, 50.0))
        return kErrOutOfRange;
    m_tolC = c;
    m_tolS = seconds;
    return 0;
}

int CSimTecUnit::SetHeatCool(int code)
{
    if (code != HeatAndCool && code != HeatOnly && code != CoolOnly)
        return kErrOutOfRange;
    m_heatCool = code;
    return 0;
}

int CSimTecUnit::SetAnalogSensitivity(int index)
{
    if (index < 0 || index > 2)
        return kErrOutOfRange;
    m_analogSensitivity = index;
    return 0;
}

int CSimTecUnit::SetAnalogTsetAt0V(double c)
{
    if (!InRange(c, m_config.minTC, m_config.maxTC))
        return kErrOutOfRange;
    m_analogAt0VC = c;
    return 0;
}

int CSimTecUnit::SetAnalogTsetAt2V5(double c)
{
    if (!InRange(c, m_config.minTC, m_config.maxTC))
        return kErrOutOfRange;
    m_analogAt2V5C = c;
    return 0;
}

int CSimTecUnit::SetCableR(double ohms)
{
    if (!InRange(ohms, 0.0, 10.0))
        return kErrOutOfRange;
    m_cableOhms = ohms;
    return 0;
}

int CSimTecUnit::SetFan(const SFan& fan)
{
    static const std::array<std::string, 5> kSpeeds{"OFF", "ON", "SLOW", "MEDIUM", "FAST"};
    const bool named = std::find(kSpeeds.begin(), kSpeeds.end(), fan.speed) != kSpeeds.end();
    if (!named)
    {
        double volts = 0.0;
        const char* end = fan.speed.data() + fan.speed.size();
        const auto [ptr, ec] = std::from_chars(fan.speed.data(), end, volts);
        if (ec != std::errc{} || ptr != end || !InRange(volts, 4.5, 12.0))
            return kErrOutOfRange;
    }
    if (!InRange(fan.mode, 1, 5) || !InRange(fan.delayMin, 0, 60))
        return kErrOutOfRange;
    m_fan = fan;
    return 0;
}

// ---- AutoTune ----

int CSimTecUnit::StartAutoTune(double testPointC)
{
    if (m_mode != ModeT)
        return kErrAutoTuneMode;
    if (!InRange(testPointC, m_tLowC[m_activeSensor], m_tHighC[m_activeSensor]))
        return kErrOutOfRange;
    m_tSetC = testPointC;
    if (const int refused = SetOutput(true))
        return refused;
    // The relay swings by half the current limit: enough to oscillate, far enough from the limit that
    // the limit does not clip the swing and spoil the measured amplitude.
    m_autoTune.Start(testPointC, 0.5 * m_iteLimitA);
    return 0;
}
