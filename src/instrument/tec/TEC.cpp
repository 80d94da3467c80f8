#include "instrument/tec/TEC.h"

#include "comm/LinkSilence.h"
#include "diag/EventLog.h"
#include "instrument/valuebags/ValuesBag.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

using TecProtocol::FormatFixed;

namespace
{
// The firmware's "%f": six decimals, always with a decimal point.
std::string F(double value)
{
    return FormatFixed(value, 6);
}

// Settings keys whose answer decides whether the stored T and ITE bounds replace the family ones.
constexpr uint32_t KeyStoredTBounds = 0x1501;
constexpr uint32_t KeyStoredITEBound = 0x1502;

// Stored values of the instrument the channel reads.
constexpr uint32_t EEMaxT = 0x47002C;
constexpr uint32_t EEMinT = 0x47002D;
constexpr uint32_t EEMaxITELimit = 0x47002E;
constexpr uint32_t EEFeatureBits = 0x480005;
constexpr uint32_t EEMaxITEmA = 0x480007;
constexpr uint32_t EESensorMask = 0x480009;
constexpr uint32_t EEHeatCool = 0x470009;
constexpr uint32_t SettingHeatCool = 0xF0001180;
constexpr uint32_t EEThermistorA = 0x47001D; // A, B, C follow
constexpr uint32_t EERtdA = 0x470020;        // A, B, C, R0 follow
constexpr uint32_t EEICSet0 = 0x470024;      // M, B; the second set follows at +2
constexpr uint32_t EEStoredP = 0x470028;     // P, I, D follow
constexpr uint32_t FeatureFanDisabled = 0x2;
constexpr uint32_t FeatureFanOnRevision7 = 0x40;
} // namespace

CTEC::CTEC()
{
    ResetTecState();
    SetPollFlags(GetPollFlags() | TecPollDefault);
}

CTEC::~CTEC() = default;

// ---- Cached state -------------------------------------------------------------------------------

void CTEC::ResetTecState()
{
    for (int i = 0; i < MaxSensors; ++i)
    {
        m_t[i].store(NoValue, Relaxed);
        m_r[i].store(NoValue, Relaxed);
        m_tLowLimit[i].store(NoValue, Relaxed);
        m_tHighLimit[i].store(NoValue, Relaxed);
        m_sensorType[i].store(0, Relaxed);
        m_tHistory[i].Clear();
        m_rHistory[i].Clear();
    }
    for (AtomicFloat* value :
         {&m_ite, &m_v, &m_iteSet, &m_rSet, &m_tSet, &m_iteLimit, &m_rLowLimit, &m_rHighLimit})
    {
        value->store(NoValue, Relaxed);
    }
    m_iteHistory.Clear();
    m_vHistory.Clear();
    m_mode.store(TecModeUnknown, Relaxed);
    m_pendingMode.store(TecModeUnknown, Relaxed);
    m_output.store(false, Relaxed);
    m_autoTuneSupported.store(false, Relaxed);
    m_freshness.Forget();
}

int CTEC::FreshIndex(TecReading reading, int sensor)
{
    static_assert(2 * MaxSensors + static_cast<int>(TecReading::Mode) < CReadingFreshness::Capacity);
    if (reading == TecReading::T)
        return sensor;
    if (reading == TecReading::R)
        return MaxSensors + sensor;
    return 2 * MaxSensors + static_cast<int>(reading);
}

bool CTEC::IsFresh(TecReading reading, int sensor) const
{
    const int resolved = sensor < 0 ? GetActiveSensor() : sensor;
    if (!IsValidSensor(resolved))
        return false;
    return m_freshness.IsFresh(FreshIndex(reading, resolved));
}

int CTEC::ParseModeName(std::string_view name) const
{
    return TecProtocol::ParseModeName(name);
}

int CTEC::Decimals(std::string_view text) const
{
    int count = 0;
    CountDecimals(text, count);
    return count;
}

bool CTEC::IsPolled(uint32_t flag) const
{
    return IsPolling() && ((GetPollFlags() | GetExtraPollFlags()) & flag) != 0;
}

int CTEC::ResolveSensor(int sensor) const
{
    return sensor < 0 ? m_activeSensor.load(Relaxed) : sensor;
}

int CTEC::GetPrecision(int quantity) const
{
    switch (quantity)
    {
    case TecQuantityT:
        return m_precisionT.load(Relaxed);
    case TecQuantityR:
        return m_precisionR.load(Relaxed);
    case TecQuantityITE:
        return m_precisionITE.load(Relaxed);
    case TecQuantityV:
        return m_precisionV.load(Relaxed);
    default:
        return 0;
    }
}

// ---- Command helpers ----------------------------------------------------------------------------

bool CTEC::Send(const std::string& line)
{
    return Command(line, true);
}

float CTEC::QueryFloat(const std::string& query)
{
    return TecProtocol::ParseFloat(Query(query)).value_or(NoValue);
}

std::optional<int> CTEC::QueryInt(const std::string& query)
{
    return TecProtocol::ParseInt(Query(query));
}

bool CTEC::InRange(float value, double low, double high, const char* what)
{
    // Compared as "%f" writes them (millionths): a float typed as the bound (0.01f lies just below the
    // double 0.01) is the bound, as it is sent to the instrument.
    const auto micro = [](double number) { return std::round(number * 1e6); };
    if (micro(value) >= micro(low) && micro(value) <= micro(high))
    {
        return true;
    }
    // A limit the unit did not answer leaves nothing to check against; saying "out of range" then
    // would blame the value.
    if (low <= NoValue / 10 || high <= NoValue / 10)
    {
        TAMRIX_LOG(ccGeneral, 3, "%s (%s) not sent: the instrument did not give its limits.", what,
                   F(value).c_str());
        return false;
    }
    // Formatted here so the log shows "C" notation whatever the process locale.
    TAMRIX_LOG(ccGeneral, 3, "%s (%s) out of range.", what, F(value).c_str());
    return false;
}

// ---- Mode and output ----------------------------------------------------------------------------

bool CTEC::SetMode(int mode)
{
    static constexpr const char* commands[] = {nullptr, ":TEC:MODE:T\n", ":TEC:MODE:R\n", ":TEC:MODE:ITE\n"};
    if (mode < TecModeT || mode > TecModeITE)
    {
        return false;
    }
    m_mode.store(mode, Relaxed);
    m_pendingMode.store(mode, Relaxed);
    // Routed through the poll thread while it runs; checked for the instrument's acceptance.
    return Command(commands[mode], true);
}

int CTEC::GetMode(bool forceQuery)
{
    // Until a good poll has brought the mode, the unit is asked.
    if (!forceQuery && IsPolled(TecPollMode) && m_mode.load(Relaxed) != TecModeUnknown)
    {
        return m_mode.load(Relaxed);
    }
    const int mode = ParseModeName(Query(":TEC:MODE?\n"));
    m_mode.store(mode, Relaxed);
    return mode;
}

bool CTEC::SetOutput(bool on)
{
    const bool sent = Send(on ? "TEC:OUT 1\n" : "TEC:OUT 0\n");
    m_output.store(on, Relaxed);
    return sent;
}

bool CTEC::GetOutput(bool forceQuery)
{
    if (!forceQuery && IsPolled(TecPollOutput))
    {
        return m_output.load(Relaxed);
    }
    const bool on = QueryInt("TEC:OUT?\n").value_or(0) != 0;
    m_output.store(on, Relaxed);
    return on;
}

bool CTEC::IsAnalogEnabled()
{
    if (IsPolled(TecPollAnalog))
    {
        return m_analogEnabled.load(Relaxed);
    }
    const bool enabled = QueryInt(":TEC:ANALOG:ENAB?\n").value_or(0) == 1;
    m_analogEnabled.store(enabled, Relaxed);
    return enabled;
}

// ---- Analog set-point input ---------------------------------------------------------------------

bool CTEC::GetAnalogEnable(bool& enabled)
{
    const auto value = QueryInt(":TEC:ANALOG:ENAB?\n");
    if (!value || (*value != 0 && *value != 1))
    {
        return false;
    }
    enabled = *value == 1;
    m_analogEnabled.store(enabled, Relaxed);
    return true;
}

bool CTEC::SetAnalogEnable(bool enabled)
{
    if (!Send(enabled ? "TEC:ANALOG:ENAB 1\n" : "TEC:ANALOG:ENAB 0\n"))
    {
        return false;
    }
    m_analogEnabled.store(enabled, Relaxed);
    return true;
}

bool CTEC::GetAnalogSensitivity(int& index)
{
    const auto value = QueryInt(":TEC:ANALOG:SENS?\n");
    if (!value || *value < AnalogSensitivity1C || *value > AnalogSensitivity0p01C)
    {
        return false;
    }
    index = *value;
    return true;
}

bool CTEC::SetAnalogSensitivity(int index)
{
    if (index < AnalogSensitivity1C || index > AnalogSensitivity0p01C)
    {
        TAMRIX_LOG(ccGeneral, 3, "Analog sensitivity (%d) out of range.", index);
        return false;
    }
    return Send("TEC:ANALOG:SENS " + std::to_string(index) + "\n");
}

bool CTEC::GetAnalogTsetAt0V(double& celsius)
{
    return QueryAnalogTset(":TEC:ANALOG:TLO?\n", celsius);
}

bool CTEC::SetAnalogTsetAt0V(double celsius)
{
    return SendAnalogTset("TEC:ANALOG:TLO ", celsius);
}

bool CTEC::GetAnalogTsetAt2V5(double& celsius)
{
    return QueryAnalogTset(":TEC:ANALOG:THI?\n", celsius);
}

bool CTEC::SetAnalogTsetAt2V5(double celsius)
{
    return SendAnalogTset("TEC:ANALOG:THI ", celsius);
}

bool CTEC::QueryAnalogTset(const char* query, double& celsius)
{
    const auto value = TecProtocol::ParseFloat(Query(query));
    if (!value || !std::isfinite(*value))
    {
        return false;
    }
    celsius = *value;
    return true;
}

bool CTEC::SendAnalogTset(const char* command, double celsius)
{
    return std::isfinite(celsius) && Send(command + FormatFixed(celsius, 3) + "\n");
}

// ---- Sensors ------------------------------------------------------------------------------------

int CTEC::GetSensorCount() const
{
    return 1;
}

int CTEC::GetActiveSensor() const
{
    return m_activeSensor.load(Relaxed);
}

int CTEC::GetSensorType(bool forceQuery, int sensor)
{
    const int index = ResolveSensor(sensor);
    if (!IsValidSensor(index))
    {
        return 0;
    }
    const int cached = m_sensorType[index].load(Relaxed);
    if (cached != 0 && !forceQuery)
    {
        return cached;
    }
    const int code = QuerySensorType(sensor).value_or(0);
    m_sensorType[index].store(code, Relaxed);
    return code;
}

std::optional<int> CTEC::QuerySensorType(int sensor)
{
    const std::string query = AddressesSensor(sensor) ? "TEC:SENS? " + std::to_string(sensor + 1) + "\n"
                                                      : std::string("TEC:SENS?\n");
    return QueryInt(query);
}

bool CTEC::ReadSensorTypeAtConnect()
{
    // The R unit shown beside every reading follows the sensor type: a lost reply is asked again, and
    // a connect that never gets it fails instead of showing the unit blank.
    for (int attempt = 0; attempt < QueryAttempts && IsPortOpen(); ++attempt)
    {
        if (const auto code = QuerySensorType(-1))
        {
            m_sensorType[ResolveSensor(-1)].store(*code, Relaxed);
            return true;
        }
    }
    TAMRIX_LOG(ccComm, 1, "Identification: no usable reply to TEC:SENS?\n");
    return false;
}

bool CTEC::SetSensorType(int code, int sensor)
{
    // Another sensor has other bounds.
    ForgetLimits(TecModeT);
    ForgetLimits(TecModeR);
    const int index = ResolveSensor(sensor);
    const std::string line =
        AddressesSensor(sensor) ? "TEC:SENS " + std::to_string(code) + "," + std::to_string(sensor + 1) + "\n"
                                : "TEC:SENS " + std::to_string(code) + "\n";
    const bool sent = Send(line);
    if (IsValidSensor(index))
    {
        m_sensorType[index].store(code, Relaxed);
    }
    return sent;
}

uint32_t CTEC::GetSupportedSensorMask(int sensor)
{
    if (ResolveSensor(sensor) != 0)
    {
        return 0;
    }
    return StoredUnsigned(EESensorMask).value_or(0);
}

bool CTEC::IsSensorTypeSupported(int code, int sensor)
{
    const int bit = SensorMaskBit(code);
    return bit >= 0 && (GetSupportedSensorMask(sensor) & (1u << bit)) != 0;
}

double CTEC::GetMinR(int sensorType)
{
    return GetSensorTypeInfo(sensorType).minR;
}

double CTEC::GetMaxR(int sensorType)
{
    return GetSensorTypeInfo(sensorType).maxR;
}

std::string CTEC::GetRUnits(int sensorType)
{
    return GetSensorTypeInfo(sensorType).rUnits;
}

// ---- Readings -----------------------------------------------------------------------------------

float CTEC::GetT(bool averaged, int sensor)
{
    const int index = ResolveSensor(sensor);
    if (!IsValidSensor(index))
    {
        return NoValue;
    }
    if (IsPolling())
    {
        return averaged ? m_tHistory[index].Average() : m_t[index].load(Relaxed);
    }
    const std::string query =
        AddressesSensor(sensor) ? ":TEC:T? " + std::to_string(sensor + 1) + "\n" : std::string(":TEC:T?\n");
    const std::string reply = Query(query);
    if (const auto value = TecProtocol::ParseFloat(reply))
    {
        m_t[index].store(*value, Relaxed);
        if (index == GetActiveSensor())
        {
            m_precisionT.store(Decimals(reply), Relaxed);
        }
    }
    return m_t[index].load(Relaxed);
}

float CTEC::GetR(bool averaged, int sensor)
{
    const int index = ResolveSensor(sensor);
    if (!IsValidSensor(index))
    {
        return NoValue;
    }
    if (IsPolling())
    {
        return averaged ? m_rHistory[index].Average() : m_r[index].load(Relaxed);
    }
    const std::string query =
        AddressesSensor(sensor) ? ":TEC:R? " + std::to_string(sensor + 1) + "\n" : std::string(":TEC:R?\n");
    const std::string reply = Query(query);
    if (const auto value = TecProtocol::ParseFloat(reply))
    {
        m_r[index].store(*value, Relaxed);
        if (index == GetActiveSensor())
        {
            m_precisionR.store(Decimals(reply), Relaxed);
        }
    }
    return m_r[index].load(Relaxed);
}

float CTEC::GetITE(bool averaged)
{
    if (IsPolling())
    {
        return averaged ? m_iteHistory.Average() : m_ite.load(Relaxed);
    }
    const std::string reply = Query(":TEC:ITE?\n");
    if (const auto value = TecProtocol::ParseFloat(reply))
    {
        m_ite.store(*value, Relaxed);
        m_precisionITE.store(Decimals(reply), Relaxed);
    }
    return m_ite.load(Relaxed);
}

float CTEC::GetV(bool averaged)
{
    if (IsPolling())
    {
        return averaged ? m_vHistory.Average() : m_v.load(Relaxed);
    }
    const std::string reply = Query(":TEC:V?\n");
    if (const auto value = TecProtocol::ParseFloat(reply))
    {
        m_v.store(*value, Relaxed);
        m_precisionV.store(Decimals(reply), Relaxed);
    }
    return m_v.load(Relaxed);
}

bool CTEC::ReadAllReadings()
{
    // Called before polling starts, so each getter queries the instrument and records precision. Every
    // reading is asked even after one is lost, so each that answers has its precision.
    const bool ite = GetITE() != NoValue;
    const bool r = GetR() != NoValue;
    const bool t = GetT() != NoValue;
    const bool v = GetV() != NoValue;
    const std::string errors = Query("ERR?\n");
    if (!errors.empty() && errors != "0")
    {
        AddErrorsFromReply(errors, 0);
    }
    return ite && r && t && v;
}

// ---- Set-point bounds ---------------------------------------------------------------------------

CTEC::SKeptLimits* CTEC::KeptLimits(int mode)
{
    switch (mode)
    {
    case TecModeT:
        return &m_keptLimits[0];
    case TecModeR:
        return &m_keptLimits[1];
    case TecModeITE:
        return &m_keptLimits[2];
    default:
        return nullptr;
    }
}

bool CTEC::LimitsFresh(int mode)
{
    SKeptLimits* kept = KeptLimits(mode);
    const int64_t at = kept ? kept->readAtMs.load() : 0;
    return at != 0 && CLinkSilence::NowMs() - at < LimitsKeptMs &&
           (mode != TecModeT || kept->sensor.load(Relaxed) == ResolveSensor(-1));
}

void CTEC::ReadLimits(int mode)
{
    SKeptLimits* kept = KeptLimits(mode);
    if (!kept)
    {
        return;
    }
    const int sensor = ResolveSensor(-1);
    float low = NoValue;
    float high = NoValue;
    if (mode == TecModeT)
    {
        low = GetTLowLimit(-1);
        high = GetTHighLimit(-1);
    }
    else if (mode == TecModeR)
    {
        low = GetRLowLimit();
        high = GetRHighLimit();
    }
    else
    {
        high = GetITELimit();
        low = high == NoValue ? NoValue : -high;
    }
    kept->low.store(low, Relaxed);
    kept->high.store(high, Relaxed);
    kept->sensor.store(sensor, Relaxed);
    // Bounds that could not be read are asked for again next time.
    kept->readAtMs.store(low == NoValue || high == NoValue ? 0 : CLinkSilence::NowMs());
}

void CTEC::ForgetLimits(int mode)
{
    if (SKeptLimits* kept = KeptLimits(mode))
    {
        kept->readAtMs.store(0);
    }
}

std::pair<float, float> CTEC::SetPointLimits(int mode)
{
    SKeptLimits* kept = KeptLimits(mode);
    if (!kept)
    {
        return {NoValue, NoValue};
    }
    kept->wanted.store(true, Relaxed);
    if (!LimitsFresh(mode))
    {
        ReadLimits(mode);
    }
    return {kept->low.load(Relaxed), kept->high.load(Relaxed)};
}

void CTEC::KeepLimits()
{
    const int mode = m_mode.load(Relaxed);
    const SKeptLimits* kept = KeptLimits(mode);
    if (kept && kept->wanted.load(Relaxed) && !LimitsFresh(mode))
    {
        ReadLimits(mode);
    }
}

// ---- Set points ---------------------------------------------------------------------------------

bool CTEC::SetSetPoint(float value)
{
    switch (GetMode())
    {
    case TecModeT:
        return SetT(value);
    case TecModeR:
        return SetR(value);
    case TecModeITE:
        return SetITE(value);
    default:
        return false;
    }
}

float CTEC::GetSetPoint()
{
    switch (GetMode())
    {
    case TecModeT:
        return GetTSetPoint();
    case TecModeR:
        return GetRSetPoint();
    case TecModeITE:
        return GetITESetPoint();
    default:
        return NoValue;
    }
}

bool CTEC::SetT(float celsius)
{
    // The limits of the active sensor, as the instrument holds them now.
    const auto [low, high] = SetPointLimits(TecModeT);
    if (!InRange(celsius, low, high, "T set point"))
    {
        return false;
    }
    const bool sent = Send("TEC:T " + F(celsius) + "\n");
    m_tSet.store(celsius, Relaxed);
    return sent;
}

bool CTEC::SetR(float value)
{
    const auto [low, high] = SetPointLimits(TecModeR);
    if (!InRange(value, low, high, "R set"))
    {
        return false;
    }
    const bool sent = Send("TEC:R " + F(value) + "\n");
    m_rSet.store(value, Relaxed);
    return sent;
}

bool CTEC::SetITE(float amps)
{
    const float limit = SetPointLimits(TecModeITE).second;
    if (!InRange(std::fabs(amps), 0.0, limit, "ITE set point"))
    {
        return false;
    }
    const bool sent = Send("TEC:ITE " + F(amps) + "\n");
    m_iteSet.store(amps, Relaxed);
    return sent;
}

// Polled set points answer from the cache while the poll keeps them fresh.
float CTEC::GetTSetPoint()
{
    if (IsPolled(TecPollTSet) && m_tSet.load(Relaxed) != NoValue)
    {
        return m_tSet.load(Relaxed);
    }
    const float value = QueryFloat("TEC:SET:T?\n");
    m_tSet.store(value, Relaxed);
    return value;
}

float CTEC::GetRSetPoint()
{
    if (IsPolled(TecPollRSet) && m_rSet.load(Relaxed) != NoValue)
    {
        return m_rSet.load(Relaxed);
    }
    const float value = QueryFloat("TEC:SET:R?\n");
    m_rSet.store(value, Relaxed);
    return value;
}

float CTEC::GetITESetPoint()
{
    if (IsPolled(TecPollITESet) && m_iteSet.load(Relaxed) != NoValue)
    {
        return m_iteSet.load(Relaxed);
    }
    const float value = QueryFloat("TEC:SET:ITE?\n");
    m_iteSet.store(value, Relaxed);
    return value;
}

// ---- Limits -------------------------------------------------------------------------------------

bool CTEC::SetITELimit(float amps)
{
    // Whatever the unit makes of it, the kept bounds are read again before the next check.
    ForgetLimits(TecModeITE);
    // Without a stored maximum (the multi-channel units keep none) the unit bounds the limit itself.
    const float maximum = GetMaxITELimit();
    if (!InRange(amps, 0.0, maximum > 0.0f ? maximum : std::numeric_limits<float>::max(), "ITE limit"))
    {
        return false;
    }
    const bool sent = Send("TEC:LIM:ITE " + F(amps) + "\n");
    m_iteLimit.store(amps, Relaxed);
    return sent;
}

float CTEC::GetITELimit()
{
    const float value = QueryFloat("TEC:LIM:ITE?\n");
    m_iteLimit.store(value, Relaxed);
    return value;
}

float CTEC::GetMaxITEFromStore()
{
    // An unreadable store leaves the bound unknown: 0 would read as a real (and wrong) maximum.
    const auto milliamps = StoredUnsigned(EEMaxITEmA);
    return milliamps ? static_cast<float>(*milliamps) / 1000.0f : NoValue;
}

float CTEC::GetMaxITELimit()
{
    if (IsSettingHidden(KeyStoredITEBound))
    {
        if (const auto stored = StoredFloat(EEMaxITELimit))
        {
            return *stored;
        }
    }
    return GetMaxITEFromStore();
}

bool CTEC::SetRLowLimit(float value)
{
    // Whatever the unit makes of it, the kept bounds are read again before the next check.
    ForgetLimits(TecModeR);
    if (!InRange(value, GetMinR(GetSensorType()), GetRHighLimit(), "R low limit"))
    {
        return false;
    }
    const bool sent = Send("TEC:LIM:RLO " + F(value) + "\n");
    m_rLowLimit.store(value, Relaxed);
    return sent;
}

bool CTEC::SetRHighLimit(float value)
{
    // Whatever the unit makes of it, the kept bounds are read again before the next check.
    ForgetLimits(TecModeR);
    if (!InRange(value, GetRLowLimit(), GetMaxR(GetSensorType()), "R high limit"))
    {
        return false;
    }
    const bool sent = Send("TEC:LIM:RHI " + F(value) + "\n");
    m_rHighLimit.store(value, Relaxed);
    return sent;
}

float CTEC::GetRLowLimit()
{
    const float value = QueryFloat("TEC:LIM:RLO?\n");
    m_rLowLimit.store(value, Relaxed);
    return value;
}

float CTEC::GetRHighLimit()
{
    const float value = QueryFloat("TEC:LIM:RHI?\n");
    m_rHighLimit.store(value, Relaxed);
    return value;
}

float CTEC::GetMinT()
{
    if (IsSettingHidden(KeyStoredTBounds))
    {
        if (const auto stored = StoredFloat(EEMinT))
        {
            return *stored;
        }
    }
    return -99.0f;
}

float CTEC::GetMaxT()
{
    if (IsSettingHidden(KeyStoredTBounds))
    {
        if (const auto stored = StoredFloat(EEMaxT))
        {
            return *stored;
        }
    }
    return 250.0f;
}

bool CTEC::SetTLowLimit(float celsius, int sensor)
{
    // Whatever the unit makes of it, the kept bounds are read again before the next check.
    ForgetLimits(TecModeT);
    if (!InRange(celsius, GetMinT(), GetTHighLimit(sensor), "T low limit"))
    {
        return false;
    }
    const std::string value = F(celsius);
    const bool sent =
        Send(AddressesSensor(sensor) ? "TEC:LIM:TLO " + value + "," + std::to_string(sensor + 1) + "\n"
                                     : "TEC:LIM:TLO " + value + "\n");
    const int index = ResolveSensor(sensor);
    if (IsValidSensor(index))
    {
        m_tLowLimit[index].store(celsius, Relaxed);
    }
    return sent;
}

bool CTEC::SetTHighLimit(float celsius, int sensor)
{
    // Whatever the unit makes of it, the kept bounds are read again before the next check.
    ForgetLimits(TecModeT);
    if (!InRange(celsius, GetTLowLimit(sensor), GetMaxT(), "T high limit"))
    {
        return false;
    }
    const std::string value = F(celsius);
    const bool sent =
        Send(AddressesSensor(sensor) ? "TEC:LIM:THI " + value + "," + std::to_string(sensor + 1) + "\n"
                                     : "TEC:LIM:THI " + value + "\n");
    const int index = ResolveSensor(sensor);
    if (IsValidSensor(index))
    {
        m_tHighLimit[index].store(celsius, Relaxed);
    }
    return sent;
}

float CTEC::GetTLowLimit(int sensor)
{
    const float value =
        QueryFloat(AddressesSensor(sensor) ? "TEC:LIM:TLO? " + std::to_string(sensor + 1) + "\n"
                                           : std::string("TEC:LIM:TLO?\n"));
    const int index = ResolveSensor(sensor);
    if (IsValidSensor(index))
    {
        m_tLowLimit[index].store(value, Relaxed);
    }
    return value;
}

float CTEC::GetTHighLimit(int sensor)
{
    const float value =
        QueryFloat(AddressesSensor(sensor) ? "TEC:LIM:THI? " + std::to_string(sensor + 1) + "\n"
                                           : std::string("TEC:LIM:THI?\n"));
    const int index = ResolveSensor(sensor);
    if (IsValidSensor(index))
    {
        m_tHighLimit[index].store(value, Relaxed);
    }
    return value;
}

bool CTEC::IsTSetPointLocked()
{
    return false;
}

// ---- Registers ----------------------------------------------------------------------------------

int CTEC::GetCondition()
{
    if (IsPolled(TecPollCondition))
    {
        return m_condition.load(Relaxed);
    }
    const int value = QueryInt("TEC:COND?\n").value_or(0) & 0xFFFF;
    m_condition.store(static_cast<uint16_t>(value), Relaxed);
    return value;
}

bool CTEC::SetConditionEnable(int mask)
{
    return Send("TEC:ENAB:COND " + std::to_string(mask & 0xFFFF) + "\n");
}

int CTEC::GetConditionEnable()
{
    return QueryInt("TEC:ENAB:COND?\n").value_or(0) & 0xFFFF;
}

bool CTEC::SetEventEnable(int mask)
{
    return Send("TEC:ENAB:EVE " + std::to_string(mask & 0xFFFF) + "\n");
}

int CTEC::GetEventEnable()
{
    return QueryInt("TEC:ENAB:EVE?\n").value_or(0) & 0xFFFF;
}

bool CTEC::SetOutputOffEnable(int mask)
{
    return Send("TEC:ENAB:OUTOFF " + std::to_string(mask & 0xFFFF) + "\n");
}

int CTEC::GetOutputOffEnable()
{
    return QueryInt("TEC:ENAB:OUTOFF?\n").value_or(0) & 0xFFFF;
}

int CTEC::GetEventRegister()
{
    return QueryInt("TEC:EVE?\n").value_or(0) & 0xFFFF;
}

int CTEC::GetStatusByte()
{
    return QueryInt("TEC:STB?\n").value_or(0);
}

// ---- Control loop -------------------------------------------------------------------------------

bool CTEC::SetTolerance(float celsius, float seconds)
{
    return Send("TEC:TOL " + F(celsius) + ", " + F(seconds) + "\n");
}

bool CTEC::GetTolerance(float& celsius, float& seconds)
{
    float values[2] = {};
    if (!TecProtocol::ParseFloatList(Query("TEC:TOL?\n"), values))
    {
        return false;
    }
    celsius = values[0];
    seconds = values[1];
    return true;
}

bool CTEC::SetGain(int gain)
{
    return Send(gain < 1 ? std::string("TEC:GAIN PID\n") : "TEC:GAIN " + std::to_string(gain) + "\n");
}

int CTEC::GetGain()
{
    return TecProtocol::ParseGain(Query("TEC:GAIN?\n"));
}

bool CTEC::SetPID(float p, float i, float d)
{
    const float wanted[3] = {p, i, d};
    bool unchanged = true;
    for (uint32_t k = 0; k < 3; ++k)
    {
        const auto stored = StoredFloat(EEStoredP + k);
        unchanged = unchanged && stored && *stored == wanted[k];
    }
    if (unchanged)
    {
        return true;
    }
    if (!Send("TEC:PID " + F(p) + ", " + F(i) + ", " + F(d) + "\n"))
    {
        return false;
    }
    // The instrument keeps what it accepted; remember it so an unchanged PID is not sent again.
    for (uint32_t k = 0; k < 3; ++k)
    {
        WriteStoredFloat(EEStoredP + k, wanted[k], false);
    }
    return true;
}

bool CTEC::GetPID(float& p, float& i, float& d)
{
    float values[3] = {};
    if (!TecProtocol::ParseFloatList(Query("TEC:PID?\n"), values))
    {
        return false;
    }
    p = values[0];
    i = values[1];
    d = values[2];
    return true;
}

// ---- Sensor constants (stored values) -----------------------------------------------------------

bool CTEC::ReadStoredFloats(uint32_t firstKey, std::span<float> out)
{
    std::array<float, 4> values{};
    for (std::size_t k = 0; k < out.size(); ++k)
    {
        const auto value = StoredFloat(firstKey + static_cast<uint32_t>(k));
        if (!value)
        {
            return false;
        }
        values[k] = *value;
    }
    std::copy_n(values.begin(), out.size(), out.begin());
    return true;
}

bool CTEC::WriteStoredFloats(uint32_t firstKey, std::span<const float> values)
{
    for (std::size_t k = 0; k < values.size(); ++k)
    {
        if (!WriteStoredFloat(firstKey + static_cast<uint32_t>(k), values[k], true))
        {
            return false;
        }
    }
    return true;
}

bool CTEC::SetThermistorConstants(int, float a, float b, float c)
{
    const float values[] = {a, b, c};
    return WriteStoredFloats(EEThermistorA, values);
}

bool CTEC::GetThermistorConstants(int, float& a, float& b, float& c)
{
    float values[3] = {};
    if (!ReadStoredFloats(EEThermistorA, values))
    {
        return false;
    }
    a = values[0];
    b = values[1];
    c = values[2];
    return true;
}

bool CTEC::SetRTDConstants(int, float a, float b, float c, float r0)
{
    const float values[] = {a, b, c, r0};
    return WriteStoredFloats(EERtdA, values);
}

bool CTEC::GetRTDConstants(int, float& a, float& b, float& c, float& r0)
{
    float values[4] = {};
    if (!ReadStoredFloats(EERtdA, values))
    {
        return false;
    }
    a = values[0];
    b = values[1];
    c = values[2];
    r0 = values[3];
    return true;
}

bool CTEC::SetICConstants(int set, float m, float b)
{
    if (set != 0 && set != 1)
    {
        return false;
    }
    const float values[] = {m, b};
    return WriteStoredFloats(EEICSet0 + 2 * static_cast<uint32_t>(set), values);
}

bool CTEC::GetICConstants(int set, float& m, float& b)
{
    float values[2] = {};
    if ((set != 0 && set != 1) || !ReadStoredFloats(EEICSet0 + 2 * static_cast<uint32_t>(set), values))
    {
        return false;
    }
    m = values[0];
    b = values[1];
    return true;
}

// ---- Fan, heat/cool, cable resistance -----------------------------------------------------------

bool CTEC::IsFanSupported()
{
    return GetFanSupport().value_or(false);
}

std::optional<bool> CTEC::GetFanSupport()
{
    const auto version = GetFirmwareVersionNumbers();
    const int third = version[2];
    if (third == 5 || third == 9 || third == 21 || third == 31 || version[0] == 3)
    {
        return true;
    }
    if (third == 7)
    {
        const auto bits = StoredUnsigned(EEFeatureBits);
        if (!bits)
        {
            return std::nullopt;
        }
        return (*bits & FeatureFanOnRevision7) != 0;
    }
    return false;
}

bool CTEC::SetFan(int mode, float voltage, int first, int second)
{
    if (!IsFanSupported())
    {
        return false;
    }
    const auto bits = StoredUnsigned(EEFeatureBits);
    if (!bits || (*bits & FeatureFanDisabled) != 0)
    {
        return false;
    }
    return Send(TecProtocol::FormatFan(mode, voltage, first, second));
}

bool CTEC::GetFan(TecProtocol::SFanSetting& fan)
{
    const auto parsed = TecProtocol::ParseFan(Query("TEC:FAN?\n"));
    if (!parsed)
    {
        return false;
    }
    fan = *parsed;
    return true;
}

bool CTEC::HasHeatCool()
{
    return HasStoredKey(EEHeatCool) && !IsSettingHidden(SettingHeatCool);
}

bool CTEC::SetHeatCool(int code)
{
    static constexpr const char* lines[] = {"TEC:HEATCOOL BOTH\n", "TEC:HEATCOOL HEAT\n",
                                            "TEC:HEATCOOL COOL\n"};
    if (code < HeatCoolBoth || code > CoolOnly || !HasHeatCool())
    {
        return false;
    }
    return Send(lines[code]);
}

int CTEC::GetHeatCool()
{
    if (!HasHeatCool())
    {
        return HeatCoolBoth;
    }
    return TecProtocol::ParseHeatCool(Query("TEC:HEATCOOL?\n"));
}

bool CTEC::SupportsCableR()
{
    // Models that measure their cable say so; the family sends nothing a unit may not know.
    return false;
}

bool CTEC::SetCableR(float ohms)
{
    if (!SupportsCableR())
    {
        return false;
    }
    return Send("TEC:CABLER " + F(ohms) + "\n");
}

float CTEC::GetCableR()
{
    if (!SupportsCableR())
    {
        return 0.0f;
    }
    return TecProtocol::ParseFloat(Query("TEC:CABLER?\n")).value_or(0.0f);
}

// ---- Capabilities -------------------------------------------------------------------------------

bool CTEC::HasCapability82()
{
    return false;
}

bool CTEC::HasCapability83()
{
    return false;
}

bool CTEC::HasCapability84()
{
    return false;
}

bool CTEC::HasCapability85()
{
    return false;
}

bool CTEC::HasCapability86()
{
    return false;
}

bool CTEC::HasCapability105()
{
    return false;
}

bool CTEC::IsSettingHidden(uint32_t)
{
    return false;
}

// ---- AutoTune -----------------------------------------------------------------------------------

bool CTEC::IsAutoTuneSupported()
{
    return m_autoTuneSupported.load(Relaxed);
}

bool CTEC::StartAutoTune(float setPoint)
{
    if (!IsAutoTuneSupported())
    {
        return false;
    }
    return Send("TEC:AUTOTUNE " + FormatFixed(setPoint, 2));
}

bool CTEC::CancelAutoTune()
{
    return IsAutoTuneSupported() && SetOutput(false);
}

int CTEC::GetAutoTuneState()
{
    if (!IsAutoTuneSupported())
    {
        return -1;
    }
    return QueryInt("TEC:AUTOTUNESTATE?").value_or(-1);
}

int CTEC::GetAutoTuneResult()
{
    if (!IsAutoTuneSupported())
    {
        return -1;
    }
    return QueryInt("TEC:AUTOTUNE?").value_or(-1);
}

// ---- Stored values ------------------------------------------------------------------------------

std::optional<float> CTEC::StoredFloat(uint32_t key)
{
    CValuesBag* bag = GetValueBag();
    bool found = false;
    const float value = bag ? bag->GetFloat(key, &found) : 0.0f;
    return found ? std::optional<float>(value) : std::nullopt;
}

std::optional<uint32_t> CTEC::StoredUnsigned(uint32_t key)
{
    CValuesBag* bag = GetValueBag();
    bool found = false;
    const int32_t value = bag ? bag->GetInt(key, &found) : 0;
    return found ? std::optional<uint32_t>(static_cast<uint32_t>(value)) : std::nullopt;
}

bool CTEC::HasStoredKey(uint32_t key)
{
    CValuesBag* bag = GetValueBag();
    return bag && bag->HasKey(key);
}

bool CTEC::WriteStoredFloat(uint32_t key, float value, bool writeThrough)
{
    CValuesBag* bag = GetValueBag();
    return bag && bag->SetFloat(key, value, writeThrough);
}

// ---- Session part -------------------------------------------------------------------------------

bool CTEC::IsInstrumentType(int type) const
{
    return type == 2;
}

void CTEC::SetChannelNumber(int channel, int subChannel)
{
    m_channelNumber.store(channel, Relaxed);
    m_subChannel.store(subChannel, Relaxed);
}

std::string CTEC::GetCommandPrefix() const
{
    const int channel = m_channelNumber.load(Relaxed);
    const int sub = m_subChannel.load(Relaxed);
    if (channel < 1)
    {
        return {};
    }
    if (sub < 1)
    {
        return "TEC:CHAN " + std::to_string(channel) + ";";
    }
    return "TEC:CHAN " + std::to_string(channel) + "," + std::to_string(sub) + ";";
}

std::array<int, 3> CTEC::GetFirmwareVersionNumbers()
{
    return TecProtocol::ParseVersionNumbers(GetFirmwareVersion());
}

bool CTEC::Identify(bool force)
{
    if ((force || !IsIdentified()) && !CInstrBase::Identify(force))
    {
        return false;
    }
    ResetTecState();
    if (!ReadSensorTypeAtConnect())
    {
        return false;
    }
    const auto version = GetFirmwareVersionNumbers();
    const bool gated = version[0] == 2 || version[0] == 3;
    m_firmwareFeature.store(gated && version[1] == 4 && GetBuildNumber() > 42, Relaxed);
    if (gated)
    {
        GetMode(true);
        GetOutput(true);
        ReadAllReadings();
    }
    return true;
}

bool CTEC::PollHook1(uint64_t pollFlags)
{
    UpdateStatus(static_cast<uint32_t>(pollFlags & 0xFFFFFFFFu));
    return true;
}

void CTEC::UpdateStatus(uint32_t flags)
{
    // Each of the cycle's queries counts on its own, so a silent unit is given up after two of them
    // (with their retries) rather than two whole cycles.
    m_freshness.BeginCycle(FreshnessCeilingMs());
    bool accepted = CountPollQuery(PollStatus(flags));
    if (!TecProtocol::SensorQueryParts(flags, GetSensorCount()).empty())
    {
        accepted = CountPollQuery(PollSensors(flags)) && accepted;
    }
    accepted = CountPollQuery(PollOutput(flags)) && accepted;
    m_freshness.EndCycle(accepted);
    // A cycle cut short by a stop request says nothing about the instrument.
    if (!accepted && IsStopRequested())
    {
        return;
    }
    // Tells the panel that a cycle has finished with fresh values.
    m_userFlag.store(accepted);
    if (accepted)
    {
        KeepLimits();
    }

    int pending = m_pendingMode.load(Relaxed);
    if (pending != TecModeUnknown)
    {
        SetMode(pending);
        // A mode set by the user meanwhile stays pending for the next cycle.
        m_pendingMode.compare_exchange_strong(pending, TecModeUnknown, Relaxed);
    }
}

bool CTEC::AcceptChannel(const std::string& field) const
{
    const auto channel = TecProtocol::ParseInt(field);
    return channel && *channel == m_channelNumber.load(Relaxed);
}

void CTEC::StoreReading(AtomicFloat& reading, ReadingHistory& history, float value)
{
    reading.store(value, Relaxed);
    history.Append(value);
}

namespace
{
// Every field from index 1 on as a number, so that a garbled field rejects the whole reply before
// anything is stored.
bool NumbersAfterChannel(const std::vector<std::string>& fields, std::vector<float>& numbers)
{
    numbers.clear();
    for (std::size_t i = 1; i < fields.size(); ++i)
    {
        const auto value = TecProtocol::ParseFloat(fields[i]);
        if (!value)
        {
            return false;
        }
        numbers.push_back(*value);
    }
    return true;
}
} // namespace

bool CTEC::PollStatus(uint32_t flags)
{
    const int sensors = GetSensorCount();
    const auto parts = TecProtocol::StatusQueryParts(flags, sensors);
    std::vector<std::string> fields;
    std::vector<float> numbers;
    if (!QueryList(parts, fields, false, true) || fields.size() != parts.size() ||
        !AcceptChannel(fields[0]) || !NumbersAfterChannel(fields, numbers))
    {
        return false;
    }
    std::size_t k = 1; // field index; numbers[k - 1] is its value
    const int active = GetActiveSensor();
    if (flags & TecPollITE)
    {
        StoreReading(m_ite, m_iteHistory, numbers[k - 1]);
        MarkFresh(TecReading::ITE);
        m_precisionITE.store(Decimals(fields[k++]), Relaxed);
    }
    if ((flags & TecPollR) && sensors == 1)
    {
        StoreReading(m_r[active], m_rHistory[active], numbers[k - 1]);
        MarkFresh(TecReading::R, active);
        m_precisionR.store(Decimals(fields[k++]), Relaxed);
    }
    if ((flags & TecPollT) && sensors == 1)
    {
        StoreReading(m_t[active], m_tHistory[active], numbers[k - 1]);
        MarkFresh(TecReading::T, active);
        m_precisionT.store(Decimals(fields[k++]), Relaxed);
    }
    for (const auto& [flag, setPoint, reading] : {std::tuple{TecPollITESet, &m_iteSet, TecReading::ITESet},
                                                  std::tuple{TecPollRSet, &m_rSet, TecReading::RSet},
                                                  std::tuple{TecPollTSet, &m_tSet, TecReading::TSet}})
    {
        if (flags & flag)
        {
            setPoint->store(numbers[k++ - 1], Relaxed);
            MarkFresh(reading);
        }
    }
    return true;
}

bool CTEC::PollSensors(uint32_t flags)
{
    const int sensors = std::min(GetSensorCount(), MaxSensors);
    const auto parts = TecProtocol::SensorQueryParts(flags, sensors);
    std::vector<std::string> fields;
    std::vector<float> numbers;
    if (!QueryList(parts, fields, false, true) || fields.size() != parts.size() ||
        !AcceptChannel(fields[0]) || !NumbersAfterChannel(fields, numbers))
    {
        return false;
    }
    const auto activeOneBased = TecProtocol::ParseInt(fields[1]);
    if (!activeOneBased || *activeOneBased < 1 || *activeOneBased > sensors)
    {
        return false;
    }
    const int active = *activeOneBased - 1;
    m_activeSensor.store(active, Relaxed);
    std::size_t k = 2;
    if (flags & TecPollR)
    {
        for (int sensor = 0; sensor < sensors; ++sensor, ++k)
        {
            StoreReading(m_r[sensor], m_rHistory[sensor], numbers[k - 1]);
            MarkFresh(TecReading::R, sensor);
            if (sensor == active)
            {
                m_precisionR.store(Decimals(fields[k]), Relaxed);
            }
        }
    }
    if (flags & TecPollT)
    {
        for (int sensor = 0; sensor < sensors; ++sensor, ++k)
        {
            StoreReading(m_t[sensor], m_tHistory[sensor], numbers[k - 1]);
            MarkFresh(TecReading::T, sensor);
            if (sensor == active)
            {
                m_precisionT.store(Decimals(fields[k]), Relaxed);
            }
        }
    }
    return true;
}

bool CTEC::PollOutput(uint32_t flags)
{
    const auto parts = TecProtocol::OutputQueryParts(flags);
    std::vector<std::string> fields;
    if (!QueryList(parts, fields, false, false) || fields.size() != parts.size() || !AcceptChannel(fields[0]))
    {
        return false;
    }
    // Parse everything first: a garbled field discards the whole reply.
    std::size_t k = 1;
    std::optional<float> v;
    std::optional<int> output, condition, analog;
    int mode = TecModeUnknown;
    if (flags & TecPollV)
    {
        v = TecProtocol::ParseFloat(fields[k++]);
        if (!v)
        {
            return false;
        }
    }
    for (auto [flag, value] : {std::pair{TecPollOutput, &output}, std::pair{TecPollCondition, &condition},
                               std::pair{TecPollAnalog, &analog}})
    {
        if (flags & flag)
        {
            *value = TecProtocol::ParseInt(fields[k++]);
            if (!*value)
            {
                return false;
            }
        }
    }
    if (flags & TecPollMode)
    {
        mode = ParseModeName(fields[k++]);
    }

    if (v)
    {
        StoreReading(m_v, m_vHistory, *v);
        MarkFresh(TecReading::V);
        m_precisionV.store(Decimals(fields[1]), Relaxed);
    }
    if (output)
    {
        m_output.store(*output != 0, Relaxed);
        MarkFresh(TecReading::Output);
    }
    if (condition)
    {
        m_condition.store(static_cast<uint16_t>(*condition), Relaxed);
        MarkFresh(TecReading::Condition);
    }
    if (analog)
    {
        m_analogEnabled.store(*analog == 1, Relaxed);
        MarkFresh(TecReading::Analog);
    }
    if (flags & TecPollMode)
    {
        m_mode.store(mode, Relaxed);
        if (mode != TecModeUnknown)
            MarkFresh(TecReading::Mode);
    }
    return true;
}
