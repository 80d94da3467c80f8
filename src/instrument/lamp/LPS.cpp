#include "instrument/lamp/LPS.h"

#include "diag/DiagSink.h"
#include "instrument/laser/LaserProtocol.h"

#include <array>

namespace
{
constexpr int kDefaultDigits = 6; // what "%f" writes

std::string WithNumber(std::string_view head, double value, int digits)
{
    return std::string(head) + LaserProtocol::FormatFixed(value, digits) + "\r";
}

std::string WithInteger(std::string_view head, long long value, std::string_view tail)
{
    return std::string(head) + std::to_string(value) + std::string(tail);
}
} // namespace

CLPS::CLPS()
{
    const uint64_t owned = LaserPollBits(LaserPollOwnedMask);
    SetPollFlags((GetPollFlags() & ~owned) | LaserPollBits(LpsProtocol::PollAll));
}

// ---------------------------------------------------------------------------------------------------
// Modes

bool CLPS::SetMode(int mode)
{
    const char* command = mode == LaserModeICW   ? ":LPS:MODE:I\r\n"
                          : mode == LaserModeLDV ? ":LPS:MODE:V\r\n"
                                                 : nullptr;
    if (!command)
        return false;
    const bool ok = Command(command, true);
    m_lampMode.store(mode, std::memory_order_relaxed);
    m_lampPendingMode.store(mode, std::memory_order_relaxed);
    return ok;
}

int CLPS::ParseModeName(std::string_view reply) const
{
    const size_t first = reply.find_first_not_of(" \t\r\n");
    const size_t last = reply.find_last_not_of(" \t\r\n");
    const std::string_view name =
        first == std::string_view::npos ? "" : reply.substr(first, last - first + 1);
    if (name == "I")
        return LaserModeICW;
    if (name == "V")
        return LaserModeLDV;
    return LaserModeNone;
}

int CLPS::GetMode(bool forceQuery)
{
    // Until a good poll has brought the mode, the unit is asked.
    const int cached = m_lampMode.load(std::memory_order_relaxed);
    if (!forceQuery && IsPolling() && IsPolledLaserItem(LpsProtocol::PollMode) && cached != LaserModeNone)
        return cached;
    const int mode = ParseModeName(Query(":LPS:MODE?\r\n"));
    m_lampMode.store(mode, std::memory_order_relaxed);
    return mode;
}

bool CLPS::IsModeSupported(int mode) const
{
    return mode == LaserModeICW || mode == LaserModeLDV;
}

// ---------------------------------------------------------------------------------------------------
// Readings

float CLPS::Reading(const std::atomic<float>& cache, const ReadingHistory& history, bool averaged,
                    uint32_t flag, std::string_view query)
{
    if (IsPolling() && IsPolledLaserItem(flag))
        return averaged ? history.Average() : cache.load(std::memory_order_relaxed);
    return QueryNumber(query);
}

float CLPS::Polled(std::atomic<float>& cache, uint32_t flag, std::string_view query)
{
    // Until a good poll has filled the cache, the unit is asked.
    if (IsPolling() && IsPolledLaserItem(flag) && cache.load(std::memory_order_relaxed) != NoValue)
        return cache.load(std::memory_order_relaxed);
    const float value = QueryNumber(query);
    cache.store(value, std::memory_order_relaxed);
    return value;
}

float CLPS::GetLDI(bool averaged)
{
    return Reading(m_current, m_currentHistory, averaged, LpsProtocol::PollCurrent, ":LPS:I?\r\n");
}

float CLPS::GetLDV(bool averaged)
{
    return Reading(m_voltage, m_voltageHistory, averaged, LpsProtocol::PollVoltage, ":LPS:V?\r\n");
}

float CLPS::GetVBulk()
{
    return m_vBulkLamp.load(std::memory_order_relaxed);
}

float CLPS::ReadReading(std::string_view query, std::atomic<float>& cache, std::atomic<int>& precision)
{
    const std::string reply = Query(query);
    const auto value = LaserProtocol::ParseNumber(reply);
    if (!value)
        return NoValue;
    cache.store(static_cast<float>(*value), std::memory_order_relaxed);
    precision.store(LaserProtocol::CountDecimals(reply), std::memory_order_relaxed);
    return static_cast<float>(*value);
}

bool CLPS::ReadAllReadings()
{
    const bool current = ReadReading(":LPS:I?\r\n", m_current, m_precisionCurrent) != NoValue;
    const bool voltage = ReadReading(":LPS:V?\r\n", m_voltage, m_precisionVoltage) != NoValue;
    return current && voltage;
}

bool CLPS::SetSetPoint(double value)
{
    switch (GetMode(false))
    {
    case LaserModeICW:
        return SetLDI(value);
    case LaserModeLDV:
        return SetLDV(value);
    default:
        return false;
    }
}

float CLPS::GetSetPoint()
{
    switch (GetMode(false))
    {
    case LaserModeICW:
        return GetLDISetPoint();
    case LaserModeLDV:
        return GetLDVSetPoint();
    default:
        return NoValue;
    }
}

int CLPS::GetPrecision(int mode) const
{
    if (mode == LaserModeICW)
        return m_precisionCurrent.load(std::memory_order_relaxed);
    if (mode == LaserModeLDV)
        return m_precisionVoltage.load(std::memory_order_relaxed);
    return 1;
}

bool CLPS::SetSetPointPrecise(int quantity, double value)
{
    switch (quantity)
    {
    case PreciseLDI:
    case PreciseLDIAlt:
        return SendCached(WithNumber("LPS:I ", value, GetCurrentPrecision() + 3), m_currentSet, value);
    case PreciseLDV:
        return SendCached(WithNumber("LPS:V ", value, GetVoltagePrecision() + 3), m_voltageSet, value);
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------------
// Current and voltage

bool CLPS::SendCached(const std::string& command, std::atomic<float>& cache, double value)
{
    const bool ok = SendSet(command);
    cache.store(static_cast<float>(value), std::memory_order_relaxed);
    return ok;
}

float CLPS::GetLDIDirect()
{
    return QueryNumber("LPS:I?");
}

bool CLPS::SetLDI(double amps)
{
    return SendCached(WithNumber("LPS:I ", amps, kDefaultDigits), m_currentSet, amps);
}

float CLPS::GetLDISetPoint()
{
    return Polled(m_currentSet, LpsProtocol::PollCurrentSet, "LPS:SET:I?");
}

bool CLPS::SetLDILimit(double amps)
{
    return SendSet(WithNumber("LPS:LIM:I ", amps, 3));
}

float CLPS::GetLDILimit()
{
    return QueryNumber("LPS:LIM:I?");
}

bool CLPS::SetCurrentRate(double ampsPerSecond)
{
    return SendSet(WithNumber("LPS:IRATE ", ampsPerSecond, 2));
}

float CLPS::GetCurrentRate()
{
    return QueryNumber("LPS:IRATE?");
}

float CLPS::GetLDVDirect()
{
    return QueryNumber("LPS:V?");
}

bool CLPS::SetLDV(double volts)
{
    return SendCached(WithNumber("LPS:V ", volts, kDefaultDigits), m_voltageSet, volts);
}

float CLPS::GetLDVSetPoint()
{
    return Polled(m_voltageSet, LpsProtocol::PollVoltageSet, "LPS:SET:V?");
}

bool CLPS::SetLDVLimit(double volts)
{
    return SendSet(WithNumber("LPS:LIM:V ", volts, 3));
}

float CLPS::GetLDVLimit()
{
    return QueryNumber("LPS:LIM:V?");
}

bool CLPS::SetVSense(bool on)
{
    return SendSet(WithInteger("LPS:VSENSE ", on ? 1 : 0, "\r"));
}

bool CLPS::GetVSense()
{
    return QueryInteger("LPS:VSENSE?\r").value_or(0) != 0;
}

bool CLPS::SetVoltageRate(double voltsPerSecond)
{
    return SendSet(WithNumber("LPS:VRATE ", voltsPerSecond, 2));
}

float CLPS::GetVoltageRate()
{
    return QueryNumber("LPS:VRATE?");
}

// ---------------------------------------------------------------------------------------------------
// Output, registers, settings

bool CLPS::SetOutput(bool on)
{
    const bool ok = SendSet(WithInteger("LPS:OUT ", on ? 1 : 0, "\r"));
    m_lampOutput.store(on, std::memory_order_relaxed);
    return ok;
}

bool CLPS::GetOutput(bool forceQuery)
{
    if (!forceQuery && IsPolling() && IsPolledLaserItem(LpsProtocol::PollOutput))
        return m_lampOutput.load(std::memory_order_relaxed);
    const auto on = QueryInteger("LPS:OUT?");
    if (on)
        m_lampOutput.store(*on != 0, std::memory_order_relaxed);
    return m_lampOutput.load(std::memory_order_relaxed);
}

bool CLPS::SetCableR(double ohms)
{
    return SendSet(WithNumber("LPS:CABLER ", ohms, kDefaultDigits));
}

float CLPS::GetCableR()
{
    return QueryNumber("LPS:CABLER?");
}

uint16_t CLPS::GetConditionRegister()
{
    return static_cast<uint16_t>(QueryInteger("LPS:COND?").value_or(0));
}

bool CLPS::SetConditionEnable(uint16_t mask)
{
    return SendSet(WithInteger("LPS:ENAB:COND ", mask, "s\r"));
}

uint16_t CLPS::GetConditionEnable()
{
    return static_cast<uint16_t>(QueryInteger("LPS:ENAB:COND?").value_or(0));
}

bool CLPS::SetEventEnable(uint16_t mask)
{
    return SendSet(WithInteger("LPS:ENAB:EVE ", mask, "s\r"));
}

uint16_t CLPS::GetEventEnable()
{
    return static_cast<uint16_t>(QueryInteger("LPS:ENAB:EVE?").value_or(0));
}

bool CLPS::SetOutputOffEnable(int mask)
{
    return SendSet(WithInteger("LPS:ENAB:OUTOFF ", mask, "\r"));
}

int CLPS::GetOutputOffEnable()
{
    return static_cast<int>(QueryInteger("LPS:ENAB:OUTOFF?").value_or(0));
}

uint16_t CLPS::GetEventRegister()
{
    return static_cast<uint16_t>(QueryInteger("LPS:EVE?").value_or(0));
}

int CLPS::GetStatusByte()
{
    return static_cast<int>(QueryInteger("LPS:STB?").value_or(0));
}

bool CLPS::GetTolerance(float& tolerance, float& timeSeconds)
{
    tolerance = 0.0f;
    timeSeconds = 0.0f;
    return false;
}

// ---------------------------------------------------------------------------------------------------
// Factory calibration

namespace
{
struct SLampCalibration
{
    const char* start;
    const char* query;
};

// By LampCalibrationStep.
constexpr std::array<SLampCalibration, 7> kLampCalibration{{{"LPS:CAL:I\r", "LPS:CAL:I?\r"},
                                                            {"LPS:CAL:I 1\r", "LPS:CAL:I?\r"},
                                                            {"LPS:CAL:V\r", "LPS:CAL:V?\r"},
                                                            {"LPS:CAL:V 1\r", "LPS:CAL:V?\r"},
                                                            {"LPS:CAL:VBULK\r", "LPS:CAL:VBULK?\r"},
                                                            {"LPS:CAL:PS\r", "LPS:CAL:PS?\r"},
                                                            {"LPS:CAL:ILIMIT\r", "LPS:CAL:ILIMIT?\r"}}};

bool IsLampCalibrationStep(int step)
{
    return step >= 0 && step < static_cast<int>(kLampCalibration.size());
}
} // namespace

bool CLPS::StartFactoryCalibration(int step)
{
    return IsLampCalibrationStep(step) && SendSet(kLampCalibration[static_cast<size_t>(step)].start);
}

float CLPS::QueryFactoryCalibration(int step)
{
    if (!IsLampCalibrationStep(step))
        return NoValue;
    return QueryNumber(kLampCalibration[static_cast<size_t>(step)].query);
}

bool CLPS::CancelFactoryCalibration()
{
    const std::string reply = Query("LPS:CAL:CANCEL;ERR?");
    if (reply == "0")
        return true;
    AddErrorsFromReply(reply, 0);
    return false;
}

bool CLPS::SetCalibrationReference(double ohms, int digits)
{
    return SendSet(WithNumber("LPS:CAL:R ", ohms, digits));
}

bool CLPS::SendFactoryDacLine1()
{
    return SendSet("lps:fact:put 9,0;lps:fact:put 10,1023\r\n");
}

bool CLPS::SendFactoryDacLine2()
{
    return SendSet("dac 302,1023\r\n");
}

// ---------------------------------------------------------------------------------------------------
// Session parts

std::string CLPS::GetCommandPrefix() const
{
    std::string prefix = CLaser::GetCommandPrefix();
    if (prefix.rfind("LAS:", 0) == 0)
        prefix.replace(0, 3, "LPS");
    return prefix;
}

bool CLPS::UpdateStatus(uint64_t pollFlags)
{
    const auto upper = static_cast<uint32_t>(pollFlags >> 32);
    m_freshness.BeginCycle(FreshnessCeilingMs());
    const std::string reply = QueryDirect(LpsProtocol::PollQuery(upper));
    const auto parsed = LpsProtocol::ParsePollReply(upper, reply);
    if (!CountPollQuery(parsed.has_value()))
    {
        m_freshness.EndCycle(false);
        m_missingData.Failed();
        return false;
    }
    if (parsed->errorNumber > 0)
        m_errors.Add(parsed->errorNumber);
    for (const auto& field : parsed->fields)
        ApplyPollField(field);
    m_freshness.EndCycle(true);
    m_missingData.Ended();
    m_userFlag.store(true);
    const int pending = m_lampPendingMode.load(std::memory_order_relaxed);
    if (pending != LaserModeNone)
    {
        SetMode(pending);
        m_lampPendingMode.store(LaserModeNone, std::memory_order_relaxed);
    }
    return true;
}

void CLPS::StoreReading(std::atomic<float>& cache, ReadingHistory& history, std::atomic<int>& precision,
                        float value, int digits)
{
    cache.store(value, std::memory_order_relaxed);
    history.Append(value);
    precision.store(digits, std::memory_order_relaxed);
}

void CLPS::ApplyPollField(const LpsProtocol::SPollField& field)
{
    const auto number = static_cast<float>(field.value);
    switch (field.item)
    {
    case LpsProtocol::PollCurrent:
        MarkFresh(LaserPollItem::LDI);
        return StoreReading(m_current, m_currentHistory, m_precisionCurrent, number, field.precision);
    case LpsProtocol::PollVoltage:
        MarkFresh(LaserPollItem::LDV);
        return StoreReading(m_voltage, m_voltageHistory, m_precisionVoltage, number, field.precision);
    case LpsProtocol::PollCurrentSet:
        MarkFresh(LaserPollItem::LDISet);
        return m_currentSet.store(number, std::memory_order_relaxed);
    case LpsProtocol::PollVoltageSet:
        MarkFresh(LaserPollItem::LDVSet);
        return m_voltageSet.store(number, std::memory_order_relaxed);
    case LpsProtocol::PollOutput:
        MarkFresh(LaserPollItem::Output);
        return m_lampOutput.store(field.value != 0.0, std::memory_order_relaxed);
    case LpsProtocol::PollMode:
        if (ParseModeName(field.text) != LaserModeNone)
            MarkFresh(LaserPollItem::Mode);
        return m_lampMode.store(ParseModeName(field.text), std::memory_order_relaxed);
    case LpsProtocol::PollVBulk:
        MarkFresh(LaserPollItem::VBulk);
        return m_vBulkLamp.store(number, std::memory_order_relaxed);
    default:
        return;
    }
}

void CLPS::ResetLaserState()
{
    CLaser::ResetLaserState();
    for (auto* cache : {&m_current, &m_voltage, &m_currentSet, &m_voltageSet, &m_vBulkLamp})
        cache->store(NoValue, std::memory_order_relaxed);
    m_precisionCurrent.store(1, std::memory_order_relaxed);
    m_precisionVoltage.store(1, std::memory_order_relaxed);
    m_currentHistory.Clear();
    m_voltageHistory.Clear();
    m_lampMode.store(LaserModeNone, std::memory_order_relaxed);
    m_lampPendingMode.store(LaserModeNone, std::memory_order_relaxed);
    m_lampOutput.store(false, std::memory_order_relaxed);
}
