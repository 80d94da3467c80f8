#include "instrument/laser/Laser.h"

#include "diag/DiagSink.h"
#include "instrument/session/Identification.h"
#include "instrument/valuebags/ValuesBag.h"

namespace
{
// Commands built from a fixed text and one number, always with "." as the decimal point.
std::string WithNumber(std::string_view head, double value, int digits, std::string_view tail = "\r")
{
    return std::string(head) + LaserProtocol::FormatFixed(value, digits) + std::string(tail);
}

std::string WithInteger(std::string_view head, long long value, std::string_view tail = "\r")
{
    return std::string(head) + std::to_string(value) + std::string(tail);
}

// Whole units, toward zero: the instrument takes these limits as integers.
long long WholeUnits(double value)
{
    return static_cast<long long>(LaserProtocol::TruncateDecimals(value, 0));
}

constexpr int kDefaultDigits = 6; // what "%f" writes

struct CalibrationCommand
{
    const char* start;
    const char* query;
};

constexpr std::array<CalibrationCommand, 6> kCalibrationCommands{{
    {"LAS:CAL:LDX\r", "LAS:CAL:LDX?\r"},
    {"LAS:CAL:MDX\r", "LAS:CAL:MDX?\r"},
    {"LAS:CAL:LVX\r", "LAS:CAL:LVX?\r"},
    {"LAS:CAL:ILIM\r", "LAS:CAL:ILIM?\r"},
    {"LAS:CAL:VLIM\r", "LAS:CAL:VLIM?\r"},
    {"LAS:CAL:QCWLOW\r", "LAS:CAL:QCWLOW?\r"},
}};
} // namespace

CLaser::CLaser()
{
    const uint64_t owned = LaserPollBits(LaserPollOwnedMask);
    SetPollFlags((GetPollFlags() & ~owned) | LaserPollBits(LaserPollDefault));
}

// ---------------------------------------------------------------------------------------------------
// Modes

bool CLaser::SetMode(int mode)
{
    const std::string command = LaserProtocol::ModeCommand(mode);
    if (command.empty())
        return false;
    const bool ok = Command(command, true);
    m_mode.store(mode, std::memory_order_relaxed);
    m_pendingMode.store(mode, std::memory_order_relaxed);
    return ok;
}

int CLaser::ParseModeName(std::string_view reply) const
{
    return LaserProtocol::ParseModeName(reply);
}

int CLaser::GetMode(bool forceQuery)
{
    // Until a good poll has brought the mode, the unit is asked.
    const int cached = m_mode.load(std::memory_order_relaxed);
    if (!forceQuery && IsPolling() && IsPolledLaserItem(LaserPollMode) && cached != LaserModeNone)
        return cached;
    const int mode = ParseModeName(Query(":LAS:MODE?\r\n"));
    m_mode.store(mode, std::memory_order_relaxed);
    return mode;
}

bool CLaser::IsModeSupported(int) const
{
    return false;
}

// ---------------------------------------------------------------------------------------------------
// Readings

float CLaser::CachedReading(const std::atomic<float>& cache, const ReadingHistory& history, bool averaged,
                            std::string_view query)
{
    if (!IsPolling())
        return QueryNumber(query);
    return averaged ? history.Average() : cache.load(std::memory_order_relaxed);
}

float CLaser::PolledOrQueried(std::atomic<float>& cache, uint32_t upperFlag, std::string_view query)
{
    if (IsPolling() && IsPolledLaserItem(upperFlag) && cache.load(std::memory_order_relaxed) != NoValue)
        return cache.load(std::memory_order_relaxed);
    const float value = QueryNumber(query);
    cache.store(value, std::memory_order_relaxed);
    return value;
}

float CLaser::GetLDI(bool averaged)
{
    return CachedReading(m_ldi, m_historyLDI, averaged, ":LAS:I?\r\n");
}

float CLaser::GetMDI(bool averaged)
{
    return CachedReading(m_mdi, m_historyMDI, averaged, ":LAS:MDI?\r\n");
}

float CLaser::GetMDP(bool averaged)
{
    return CachedReading(m_mdp, m_historyMDP, averaged, ":LAS:MDP?\r\n");
}

float CLaser::GetLDV(bool averaged)
{
    return CachedReading(m_ldv, m_historyLDV, averaged, ":LAS:LDV?\r\n");
}

float CLaser::GetVPeak()
{
    return m_vPeak.load(std::memory_order_relaxed);
}

float CLaser::GetVBulk()
{
    return m_vBulk.load(std::memory_order_relaxed);
}

bool CLaser::ReadAllReadings()
{
    struct Reading
    {
        const char* query;
        std::atomic<float>& cache;
        std::atomic<int>& precision;
    };
    const std::array<Reading, 4> readings{{{"LAS:LDI?", m_ldi, m_precisionLDI},
                                           {"LAS:MDI?", m_mdi, m_precisionMDI},
                                           {"LAS:MDP?", m_mdp, m_precisionMDP},
                                           {"LAS:LDV?", m_ldv, m_precisionLDV}}};
    bool all = true;
    for (const auto& reading : readings)
    {
        const std::string reply = Query(reading.query);
        const auto value = LaserProtocol::ParseNumber(reply);
        if (!value)
        {
            all = false;
            continue;
        }
        reading.cache.store(static_cast<float>(*value), std::memory_order_relaxed);
        reading.precision.store(LaserProtocol::CountDecimals(reply), std::memory_order_relaxed);
    }
    return all;
}

// ---------------------------------------------------------------------------------------------------
// Set point of the current mode

bool CLaser::SetSetPoint(double value)
{
    // The mode as the family reads it: a unit whose connect did not read the mode is asked.
    switch (LaserProtocol::SetPointQuantityOfMode(GetMode(false)))
    {
    case 0:
        return SetLDI(value);
    case 1:
        return SetMDI(value);
    case 2:
        return SetMDP(value);
    case 3:
        return SetLDV(value);
    default:
        return false;
    }
}

float CLaser::GetSetPoint()
{
    switch (LaserProtocol::SetPointQuantityOfMode(GetMode(false)))
    {
    case 0:
        return GetLDISetPoint();
    case 1:
        return GetMDISetPoint();
    case 2:
        return GetMDPSetPoint();
    case 3:
        return GetLDVSetPoint();
    default:
        return NoValue;
    }
}

int CLaser::GetPrecision(int mode) const
{
    switch (LaserProtocol::SetPointQuantityOfMode(mode))
    {
    case 0:
        return GetLDIPrecision();
    case 1:
        return GetMDIPrecision();
    case 2:
        return GetMDPPrecision();
    case 3:
        return GetLDVPrecision();
    default:
        return 1;
    }
}

bool CLaser::SetSetPointPrecise(int quantity, double value)
{
    switch (quantity)
    {
    case PreciseLDI:
    case PreciseLDIAlt:
        return SendAndCache(WithNumber("LAS:LDI ", value, GetLDIPrecision() + 3), m_ldiSet, value);
    case PreciseLDV:
        return SendAndCache(WithNumber("LAS:LDV ", value, GetLDVPrecision() + 3), m_ldvSet, value);
    case PreciseMDI:
        return SendAndCache(WithNumber("LAS:MDI ", value, GetMDIPrecision() + 3), m_mdiSet, value);
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------------
// LDI

float CLaser::GetLDIDirect()
{
    return QueryNumber("LAS:LDI?");
}

bool CLaser::SetLDI(double value)
{
    return SendAndCache(WithNumber("LAS:LDI ", value, kDefaultDigits), m_ldiSet, value);
}

float CLaser::GetLDISetPoint()
{
    return PolledOrQueried(m_ldiSet, LaserPollLDISet, "LAS:SET:LDI?");
}

bool CLaser::SetLDILimit(double value)
{
    ForgetKeptSetting(KeptLDILimit);
    return SendSet(WithInteger("LAS:LIM:LDI ", WholeUnits(value)));
}

float CLaser::GetLDILimit()
{
    return QueryNumber("LAS:LIM:LDI?");
}

float CLaser::GetMaxLDILimit(bool rangeAware)
{
    const float maximum = static_cast<float>(BagInt(KeyMaxLDI).value_or(0));
    if (rangeAware && HasDualRange() && GetRange() == 0)
        return maximum / 2.0f;
    return maximum;
}

float CLaser::GetMaxLDISetPoint()
{
    return static_cast<float>(BagInt(KeyMaxLDI).value_or(0));
}

// ---------------------------------------------------------------------------------------------------
// LDV

float CLaser::GetLDVDirect()
{
    return QueryNumber("LAS:LDV?");
}

bool CLaser::SetLDV(double value)
{
    return SendAndCache(WithNumber("LAS:LDV ", value, kDefaultDigits), m_ldvSet, value);
}

float CLaser::GetLDVSetPoint()
{
    return PolledOrQueried(m_ldvSet, LaserPollLDVSet, "LAS:SET:LDV?");
}

bool CLaser::SetLDVLimit(double value)
{
    ForgetKeptSetting(KeptLDVLimit);
    return SendSet(WithNumber("LAS:LIM:LDV ", value, kDefaultDigits));
}

float CLaser::GetLDVLimit()
{
    return QueryNumber("LAS:LIM:LDV?");
}

float CLaser::GetMaxLDVSetPoint()
{
    // mV to V, with the 2 % headroom the set point may use above the limit range.
    return static_cast<float>(BagInt(KeyMaxLDV).value_or(0) * 0.00102);
}

float CLaser::GetMaxLDVLimit()
{
    return static_cast<float>(BagInt(KeyMaxLDV).value_or(0) / 1000.0);
}

bool CLaser::SetVSense(bool on)
{
    if (!IsVSenseSupported())
        return false;
    return SendSet(WithInteger("LAS:VSENSE ", on ? 1 : 0));
}

bool CLaser::GetVSense()
{
    if (!IsVSenseSupported())
        return false;
    // Reads back what SetVSense wrote: 1 is on.
    return QueryInteger("LAS:VSENSE?\r").value_or(0) != 0;
}

bool CLaser::IsVSenseSupported() const
{
    return m_vSenseSupported.load(std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------------
// MDI

float CLaser::GetMDIDirect()
{
    return QueryNumber("LAS:MDI?");
}

float CLaser::GetMaxMDILimit()
{
    return static_cast<float>(BagInt(KeyMaxMDI).value_or(0));
}

bool CLaser::SetMDI(double value)
{
    return SendAndCache(WithNumber("LAS:MDI ", value, kDefaultDigits), m_mdiSet, value);
}

float CLaser::GetMDISetPoint()
{
    return PolledOrQueried(m_mdiSet, LaserPollMDISet, "LAS:SET:MDI?");
}

bool CLaser::SetMDILimit(double value)
{
    ForgetKeptSetting(KeptMDILimit);
    return SendSet(WithInteger("LAS:LIM:MDI ", WholeUnits(value)));
}

float CLaser::GetMDILimit()
{
    return QueryNumber("LAS:LIM:MDI?");
}

float CLaser::GetMaxMDISetPoint()
{
    return static_cast<float>(BagInt(KeyMaxMDI).value_or(0) * 1.02);
}

// ---------------------------------------------------------------------------------------------------
// MDP

float CLaser::GetMDPDirect()
{
    return QueryNumber("LAS:MDP?");
}

bool CLaser::SetMDP(double value)
{
    return SendAndCache(WithNumber("LAS:MDP ", value, kDefaultDigits), m_mdpSet, value);
}

float CLaser::GetMDPSetPoint()
{
    return PolledOrQueried(m_mdpSet, LaserPollMDPSet, "LAS:SET:MDP?");
}

bool CLaser::SetMDPLimit(double value)
{
    return SendSet(WithNumber("LAS:LIM:MDP ", value, kDefaultDigits));
}

float CLaser::GetMDPLimit()
{
    return QueryNumber("LAS:LIM:MDP?");
}

float CLaser::GetMaxMDP()
{
    return static_cast<float>(BagInt(KeyMaxMDP).value_or(0) / 1000.0);
}

// ---------------------------------------------------------------------------------------------------
// Output and settings

bool CLaser::SetOutput(bool on)
{
    const bool ok = SendSet(WithInteger("LAS:OUT ", on ? 1 : 0));
    m_outputOn.store(on, std::memory_order_relaxed);
    return ok;
}

bool CLaser::GetOutput(bool forceQuery)
{
    if (!forceQuery && IsPolling() && IsPolledLaserItem(LaserPollOutput))
        return m_outputOn.load(std::memory_order_relaxed);
    const auto on = QueryInteger("LAS:OUT?");
    if (!on)
        return m_outputOn.load(std::memory_order_relaxed);
    m_outputOn.store(*on != 0, std::memory_order_relaxed);
    return *on != 0;
}

bool CLaser::SetOnDelay(int ms)
{
    if (!m_onDelaySupported.load(std::memory_order_relaxed))
        return false;
    return SendSet(WithInteger("ONDELAY ", ms));
}

int CLaser::GetOnDelay()
{
    if (!m_onDelaySupported.load(std::memory_order_relaxed))
        return 0;
    return static_cast<int>(QueryInteger("ONDELAY?").value_or(0));
}

bool CLaser::SetCalMD(double value)
{
    ForgetKeptSetting(KeptCalMD);
    const bool ok = SendSet(WithNumber("LAS:CALMD ", value, kDefaultDigits));
    m_calMDSent.store(true, std::memory_order_relaxed);
    return ok;
}

float CLaser::GetCalMD()
{
    return QueryNumber("LAS:CALMD?");
}

bool CLaser::SetCableR(double ohms)
{
    return SendSet(WithNumber("LAS:CABLER ", ohms, kDefaultDigits));
}

float CLaser::GetCableR()
{
    return QueryNumber("LAS:CABLER?");
}

bool CLaser::SetPDBias(double value)
{
    if (!GetFeatureFlag(0))
        return false;
    const bool ok = SendSet(WithNumber("LAS:PDBIAS ", value, kDefaultDigits));
    m_pdBias.store(static_cast<float>(value), std::memory_order_relaxed);
    return ok;
}

float CLaser::GetPDBias()
{
    if (!GetFeatureFlag(0))
        return 0.0f;
    const float bias = QueryNumber("LAS:PDBIAS?");
    if (bias != NoValue)
        m_pdBias.store(bias, std::memory_order_relaxed);
    return bias;
}

bool CLaser::SetTolerance(double tolerance, double timeSeconds)
{
    return SendSet("LAS:TOL " + LaserProtocol::FormatFixed(tolerance, kDefaultDigits) + ", " +
                   LaserProtocol::FormatFixed(timeSeconds, kDefaultDigits) + "\r");
}

bool CLaser::GetTolerance(float& tolerance, float& timeSeconds)
{
    const auto pair = LaserProtocol::ParseNumberPair(Query("LAS:TOL?"));
    if (!pair)
        return false;
    tolerance = static_cast<float>(pair->first);
    timeSeconds = static_cast<float>(pair->second);
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Status registers

bool CLaser::HasConditionFeature() const
{
    return false;
}

uint16_t CLaser::GetConditionRegister()
{
    return static_cast<uint16_t>(QueryInteger("LAS:COND?").value_or(0));
}

bool CLaser::SetConditionEnable(uint16_t mask)
{
    // The unit reads the enable masks as an unsigned number followed by "s".
    return SendSet(WithInteger("LAS:ENAB:COND ", mask, "s\r"));
}

uint16_t CLaser::GetConditionEnable()
{
    return static_cast<uint16_t>(QueryInteger("LAS:ENAB:COND?").value_or(0));
}

bool CLaser::SetEventEnable(uint16_t mask)
{
    return SendSet(WithInteger("LAS:ENAB:EVE ", mask, "s\r"));
}

uint16_t CLaser::GetEventEnable()
{
    return static_cast<uint16_t>(QueryInteger("LAS:ENAB:EVE?").value_or(0));
}

bool CLaser::SetOutputOffEnable(int mask)
{
    return SendSet(WithInteger("LAS:ENAB:OUTOFF ", mask));
}

int CLaser::GetOutputOffEnable()
{
    return static_cast<int>(QueryInteger("LAS:ENAB:OUTOFF?").value_or(0));
}

uint16_t CLaser::GetEventRegister()
{
    return static_cast<uint16_t>(QueryInteger("LAS:EVE?").value_or(0));
}

int CLaser::GetStatusByte()
{
    return static_cast<int>(QueryInteger("LAS:STB?").value_or(0));
}

// ---------------------------------------------------------------------------------------------------
// Pulsed operation

bool CLaser::IsQCWSupported() const
{
    return m_qcwSupported.load(std::memory_order_relaxed);
}

bool CLaser::SetFrequency(double hz)
{
    const double tenths = LaserProtocol::TruncateDecimals(hz, 1);
    const bool ok = SendSet(WithNumber("LAS:F ", tenths, 1));
    m_frequency.store(static_cast<float>(tenths), std::memory_order_relaxed);
    return ok;
}

float CLaser::GetFrequency(bool forceQuery)
{
    if (!forceQuery && IsPolling() && IsPolledLaserItem(LaserPollFrequency) &&
        m_frequency.load(std::memory_order_relaxed) != NoValue)
        return m_frequency.load(std::memory_order_relaxed);
    const float hz = QueryNumber("LAS:F?");
    if (hz != NoValue)
        m_frequency.store(hz, std::memory_order_relaxed);
    return hz;
}

float CLaser::GetPulseWidth(bool forceQuery)
{
    if (!forceQuery && IsPolling() && IsPolledLaserItem(LaserPollPulseWidth) &&
        m_pulseWidth.load(std::memory_order_relaxed) != NoValue)
        return m_pulseWidth.load(std::memory_order_relaxed);
    const float width = QueryNumber("LAS:PW?");
    if (width != NoValue)
        m_pulseWidth.store(width, std::memory_order_relaxed);
    return width;
}

bool CLaser::SetPulseWidthF(double value)
{
    const double thousandths = LaserProtocol::TruncateDecimals(value, 3);
    const bool ok = SendSet(WithNumber("LAS:PWF ", thousandths, 3));
    m_pulseWidth.store(static_cast<float>(thousandths), std::memory_order_relaxed);
    return ok;
}

bool CLaser::SetPulseWidthP(double value)
{
    const double thousandths = LaserProtocol::TruncateDecimals(value, 3);
    const bool ok = SendSet(WithNumber("LAS:PWP ", thousandths, 3));
    m_pulseWidth.store(static_cast<float>(thousandths), std::memory_order_relaxed);
    return ok;
}

bool CLaser::SetDutyCycle(double percent)
{
    return SendSet(WithNumber("LAS:DC ", LaserProtocol::TruncateDecimals(percent, 1), 1));
}

float CLaser::GetDutyCycle()
{
    return QueryNumber("LAS:DC?");
}

bool CLaser::SetDelayIn(double value)
{
    return SendSet(WithNumber("LAS:DELAYIN ", value, kDefaultDigits));
}

float CLaser::GetDelayIn()
{
    return QueryNumber("LAS:DELAYIN?");
}

bool CLaser::SetDelayOut(double value)
{
    return SendSet(WithNumber("LAS:DELAYOUT ", value, kDefaultDigits));
}

float CLaser::GetDelayOut()
{
    return QueryNumber("LAS:DELAYOUT?");
}

int CLaser::GetQCWCount()
{
    return static_cast<int>(QueryInteger("LAS:QCWCOUNT?").value_or(0));
}

bool CLaser::SetQCWCount(int count)
{
    return SendSet(WithInteger("LAS:QCWCOUNT ", count));
}

bool CLaser::GetQCWHold()
{
    return QueryInteger("LAS:QCWHOLD?").value_or(0) != 0;
}

bool CLaser::SetQCWHold(bool on)
{
    return SendSet(WithInteger("LAS:QCWHOLD ", on ? 1 : 0));
}

namespace
{
bool ParsePulseTiming(const std::string& reply, CLaser::SPulseTiming& timing)
{
    const auto values = LaserProtocol::ParseNumberList(reply);
    if (!values || values->size() != 5)
        return false;
    timing = {(*values)[0], (*values)[1], (*values)[2], (*values)[3], (*values)[4]};
    return true;
}
} // namespace

bool CLaser::GetPulseMinima(SPulseTiming& minima)
{
    return ParsePulseTiming(Query("LAS:QCWMIN?"), minima);
}

bool CLaser::GetPulseMaxima(SPulseTiming& maxima)
{
    return ParsePulseTiming(Query("LAS:QCWMAX?"), maxima);
}

bool CLaser::SetQCWLow(double value)
{
    if (!IsQCWSupported())
        return false;
    return SendSet(WithNumber("LAS:QCWLOW ", value, kDefaultDigits));
}

float CLaser::GetQCWLow()
{
    if (!IsQCWSupported())
        return 0.0f;
    return QueryNumber("LAS:QCWLOW?");
}

bool CLaser::SetQCWLowMode(bool on)
{
    if (!IsQCWSupported())
        return false;
    return SendSet(WithInteger("LAS:CAL:QCWLOWMODE ", on ? 1 : 0));
}

bool CLaser::GetQCWLowMode()
{
    if (!IsQCWSupported())
        return false;
    return QueryInteger("LAS:CAL:QCWLOWMODE?").value_or(0) != 0;
}

// ---------------------------------------------------------------------------------------------------
// Range, remote set, capabilities

bool CLaser::HasDualRange() const
{
    return false;
}

int CLaser::GetRange()
{
    if (!HasDualRange())
        return 1;
    return BagInt(KeyRange).value_or(1);
}

bool CLaser::SetRange(int range)
{
    if (!HasDualRange() || (range != 0 && range != 1))
        return false;
    if (auto* bag = GetValueBag())
        bag->SetInt(KeyRange, range, true);
    // The current limit is bounded by the range.
    ForgetKeptSetting(KeptLDILimit);
    return SendSet(WithInteger("LAS:RANGE ", range, ""));
}

bool CLaser::HasExtendedFeatures() const
{
    return false;
}

bool CLaser::HasRemoteSetControl() const
{
    return false;
}

bool CLaser::GetLaserRemoteSet()
{
    if (!HasRemoteSetControl())
        return false;
    return QueryInteger("REMSET?").value_or(0) != 0;
}

bool CLaser::SetLaserRemoteSet(bool on)
{
    if (!HasRemoteSetControl())
        return false;
    // The same sense GetLaserRemoteSet reads back: 1 allows remote setting.
    return SendSet(WithInteger("REMSET ", on ? 1 : 0, ""));
}

bool CLaser::GetFeatureFlag(uint32_t) const
{
    return m_featureFlag.load(std::memory_order_relaxed);
}

bool CLaser::GetModelFlag() const
{
    return false;
}

bool CLaser::GetFactoryFlag()
{
    return BagInt(KeyFactoryFlag).value_or(0) != 0;
}

// ---------------------------------------------------------------------------------------------------
// Stored settings and factory support

bool CLaser::ResendStoredSettings()
{
    const bool first = SendFactoryDacLine1();
    const bool second = SendFactoryDacLine2();
    return first && second;
}

bool CLaser::SendFactoryDacLine1()
{
    return false;
}

bool CLaser::SendFactoryDacLine2()
{
    return false;
}

bool CLaser::ResendLimits()
{
    const bool ldi = ResendLDILimit();
    const bool ldv = ResendLDVLimit();
    return ldi && ldv;
}

bool CLaser::ResendLDILimit()
{
    const float limit = GetLDILimit();
    if (limit == NoValue)
        return false;
    return SetLDILimit(limit);
}

bool CLaser::ResendLDVLimit()
{
    const float limit = GetLDVLimit();
    if (limit == NoValue)
        return false;
    return SetLDVLimit(limit);
}

bool CLaser::StartFactoryCalibration(int step)
{
    if (step < 0 || step >= static_cast<int>(kCalibrationCommands.size()))
        return false;
    if (step == CalibrateQCWLow && !IsQCWSupported())
        return false;
    return SendSet(kCalibrationCommands[step].start);
}

float CLaser::QueryFactoryCalibration(int step)
{
    if (step < 0 || step >= static_cast<int>(kCalibrationCommands.size()))
        return NoValue;
    if (step == CalibrateQCWLow && !IsQCWSupported())
        return NoValue;
    return QueryNumber(kCalibrationCommands[step].query);
}

bool CLaser::CancelFactoryCalibration()
{
    const std::string reply = Query("LAS:CAL:CANCEL;ERR?");
    if (reply == "0")
        return true;
    AddErrorsFromReply(reply, 0);
    return false;
}

bool CLaser::GetStoredPulseValues(int set, std::array<float, 3>& values)
{
    if (!IsPulseCapable() || (set != 0 && set != 1))
        return false;
    const uint32_t first = set == 0 ? 0x38001D : 0x38001A;
    for (uint32_t i = 0; i < values.size(); ++i)
    {
        const auto value = BagFloat(first + i);
        if (!value)
            return false;
        values[i] = *value;
    }
    return true;
}

// Through the float access: the bag converts to and from the key's own type, so a fraction survives
// where the key holds one.
std::optional<float> CLaser::GetStoredValue(StoredValue key)
{
    return BagFloat(key);
}

bool CLaser::SetStoredValue(StoredValue key, float value)
{
    auto* bag = GetValueBag();
    return bag != nullptr && bag->SetFloat(key, value, true);
}

// ---------------------------------------------------------------------------------------------------
// Session parts

bool CLaser::HasLaserChannel() const
{
    return true;
}

bool CLaser::IsInstrumentType(int type) const
{
    return type == 1;
}

void CLaser::SetLaserChannelNumber(int channel, int subChannel)
{
    m_channelNumber.store(channel, std::memory_order_relaxed);
    m_subChannel.store(subChannel, std::memory_order_relaxed);
}

std::string CLaser::GetCommandPrefix() const
{
    const int channel = GetLaserChannelNumber();
    const int subChannel = m_subChannel.load(std::memory_order_relaxed);
    if (channel < 1)
        return {};
    if (subChannel < 1)
        return "LAS:CHAN " + std::to_string(channel) + ";";
    return "LAS:CHAN " + std::to_string(channel) + "," + std::to_string(subChannel) + ";";
}

bool CLaser::PollHook2(uint64_t pollFlags)
{
    return UpdateStatus(pollFlags);
}

bool CLaser::Identify(bool force)
{
    if ((!IsIdentified() || force) && !CInstrBase::Identify(force))
        return false;
    ResetLaserState();
    m_pulseCapable.store(false, std::memory_order_relaxed);
    m_featureFlag.store(true, std::memory_order_relaxed);
    const int major = FirmwareMajor();
    if (major == 1 || major == 3)
    {
        GetMode(true);
        GetOutput(true);
        ReadAllReadings();
    }
    // Once, last: empties the unit's error queue into the error list, so old refusals do not look new.
    AddErrorsFromReply(Query("ERR?\n"), 0);
    return true;
}

bool CLaser::UpdateStatus(uint64_t pollFlags)
{
    const auto upper = static_cast<uint32_t>(pollFlags >> 32);
    const std::vector<std::string> queries = LaserProtocol::PollQueries(upper);
    std::vector<std::string> fields;
    m_freshness.BeginCycle(FreshnessCeilingMs());
    const bool answered = QueryList(queries, fields, false, true);
    const auto reply = answered ? LaserProtocol::ParsePollReply(upper, fields) : std::nullopt;
    const bool accepted = CountPollQuery(reply && IsOwnChannel(reply->channel));
    if (accepted)
        for (const auto& value : reply->values)
            ApplyPollValue(value);
    m_freshness.EndCycle(accepted);
    // A cycle cut short by a stop request says nothing about the instrument.
    if (!answered && IsStopRequested())
        return false;
    if (!reply)
    {
        m_missingData.Failed();
        return false;
    }
    if (accepted)
        m_missingData.Ended();
    m_userFlag.store(true);
    RefreshKeptSettings();
    ApplyPendingMode();
    return true;
}

float CLaser::GetKeptSetting(KeptSetting which)
{
    return m_kept[which].Get([this, which] { return ReadKeptSetting(which); });
}

float CLaser::ReadKeptSetting(KeptSetting which)
{
    switch (which)
    {
    case KeptLDILimit:
        return GetLDILimit();
    case KeptMDILimit:
        return GetMDILimit();
    case KeptLDVLimit:
        return GetLDVLimit();
    default:
        return GetCalMD();
    }
}

void CLaser::RefreshKeptSettings()
{
    const auto refresh = [this](KeptSetting which)
    { m_kept[which].Refresh([this, which] { return ReadKeptSetting(which); }); };
    switch (m_mode.load(std::memory_order_relaxed))
    {
    case LaserModeMDP:
        refresh(KeptCalMD);
        refresh(KeptMDILimit);
        break;
    case LaserModeMDI:
        refresh(KeptMDILimit);
        break;
    case LaserModeLDV:
        refresh(KeptLDVLimit);
        break;
    case LaserModeNone:
        break;
    default:
        refresh(KeptLDILimit);
        break;
    }
}

void CLaser::ResetLaserState()
{
    for (auto* cache : {&m_ldi, &m_mdi, &m_mdp, &m_ldv, &m_ldiSet, &m_mdiSet, &m_mdpSet, &m_ldvSet, &m_vBulk,
                        &m_vPeak, &m_frequency, &m_pulseWidth, &m_pdBias})
        cache->store(NoValue, std::memory_order_relaxed);
    for (auto* precision : {&m_precisionLDI, &m_precisionMDI, &m_precisionMDP, &m_precisionLDV})
        precision->store(1, std::memory_order_relaxed);
    for (auto* history : {&m_historyLDI, &m_historyMDI, &m_historyMDP, &m_historyLDV})
        history->Clear();
    m_mode.store(LaserModeNone, std::memory_order_relaxed);
    m_pendingMode.store(LaserModeNone, std::memory_order_relaxed);
    m_outputOn.store(false, std::memory_order_relaxed);
    m_freshness.Forget();
    for (auto& kept : m_kept)
        kept.Forget();
}

// ---------------------------------------------------------------------------------------------------
// Helpers

bool CLaser::SendSet(const std::string& command)
{
    return Command(command, true);
}

bool CLaser::SendAndCache(const std::string& command, std::atomic<float>& cache, double value)
{
    const bool ok = SendSet(command);
    cache.store(static_cast<float>(value), std::memory_order_relaxed);
    return ok;
}

float CLaser::QueryNumber(std::string_view query)
{
    const auto value = LaserProtocol::ParseNumber(Query(query));
    return value ? static_cast<float>(*value) : NoValue;
}

std::optional<long long> CLaser::QueryInteger(std::string_view query)
{
    return LaserProtocol::ParseInteger(Query(query));
}

bool CLaser::IsPolledLaserItem(uint32_t upperFlag) const
{
    return ((GetPollFlags() | GetExtraPollFlags()) & LaserPollBits(upperFlag)) != 0;
}

int CLaser::FirmwareMajor()
{
    int major = 0;
    int minor = 0;
    Identification::ParseVersion(GetFirmwareVersion(), major, minor);
    return major;
}

std::optional<int> CLaser::BagInt(uint32_t key)
{
    auto* bag = GetValueBag();
    if (bag == nullptr)
        return std::nullopt;
    bool found = false;
    const int32_t value = bag->GetInt(key, &found);
    return found ? std::optional<int>(value) : std::nullopt;
}

std::optional<float> CLaser::BagFloat(uint32_t key)
{
    auto* bag = GetValueBag();
    if (bag == nullptr)
        return std::nullopt;
    bool found = false;
    const float value = bag->GetFloat(key, &found);
    return found ? std::optional<float>(value) : std::nullopt;
}

bool CLaser::IsOwnChannel(int answered) const
{
    return answered == GetLaserChannelNumber();
}

void CLaser::RecordReading(std::atomic<float>& cache, ReadingHistory& history, std::atomic<int>& precision,
                           const LaserPollValue& value)
{
    const auto reading = static_cast<float>(value.value);
    cache.store(reading, std::memory_order_relaxed);
    history.Append(reading);
    precision.store(value.precision, std::memory_order_relaxed);
}

void CLaser::ApplyPollValue(const LaserPollValue& value)
{
    // A mode name the family does not know leaves the mode unknown, not fresh.
    if (value.item != LaserPollItem::Mode || ParseModeName(value.text) != LaserModeNone)
        m_freshness.Mark(static_cast<int>(value.item));
    const auto number = static_cast<float>(value.value);
    switch (value.item)
    {
    case LaserPollItem::LDI:
        return RecordReading(m_ldi, m_historyLDI, m_precisionLDI, value);
    case LaserPollItem::MDI:
        return RecordReading(m_mdi, m_historyMDI, m_precisionMDI, value);
    case LaserPollItem::MDP:
        return RecordReading(m_mdp, m_historyMDP, m_precisionMDP, value);
    case LaserPollItem::LDV:
        return RecordReading(m_ldv, m_historyLDV, m_precisionLDV, value);
    case LaserPollItem::LDISet:
        return m_ldiSet.store(number, std::memory_order_relaxed);
    case LaserPollItem::MDISet:
        return m_mdiSet.store(number, std::memory_order_relaxed);
    case LaserPollItem::MDPSet:
        return m_mdpSet.store(number, std::memory_order_relaxed);
    case LaserPollItem::LDVSet:
        return m_ldvSet.store(number, std::memory_order_relaxed);
    case LaserPollItem::Output:
        return m_outputOn.store(value.value != 0.0, std::memory_order_relaxed);
    case LaserPollItem::Mode:
        return m_mode.store(ParseModeName(value.text), std::memory_order_relaxed);
    case LaserPollItem::VBulk:
        return m_vBulk.store(number, std::memory_order_relaxed);
    case LaserPollItem::VPeak:
        return m_vPeak.store(number, std::memory_order_relaxed);
    }
}

void CLaser::ApplyPendingMode()
{
    const int pending = m_pendingMode.load(std::memory_order_relaxed);
    if (pending == LaserModeNone)
        return;
    SetMode(pending);
    m_pendingMode.store(LaserModeNone, std::memory_order_relaxed);
}
