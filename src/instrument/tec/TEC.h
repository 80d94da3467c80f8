#pragma once

#include "instrument/session/InstrBase.h"
#include "instrument/session/ReadingFreshness.h"
#include "instrument/session/ReadingHistory.h"
#include "instrument/tec/TecProtocol.h"
#include "instrument/tec/TecTypes.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// One temperature-control channel: a thermo-electric cooler run in T, R or ITE mode, with one or
// more sensors, limits, gain or PID, optional fan and heat/cool restriction, and the instrument's
// PID autotune. Derives virtually from the session so that a laser+TEC unit has one session.
//
// The poll thread writes the cached readings while the user interface reads them, so every cached
// value is an atomic (relaxed order: a reader may see the previous cycle's value, never a torn one).
class CTEC : public virtual CInstrBase
{
public:
    static constexpr int MaxSensors = 7;
    // Written into every cached reading, set point and limit that has no value yet.
    static constexpr float NoValue = -1e32f;

    CTEC();
    ~CTEC() override;

    // Sends ":TEC:MODE:T|R|ITE" with the error check; false (nothing sent) for other modes.
    virtual bool SetMode(int mode);
    // Sentinel into every reading, set point and limit; empty histories; no mode, sensor types, output.
    virtual void ResetTecState();
    // "T", "R", "ITE" -> 1, 2, 3; anything else 0.
    virtual int ParseModeName(std::string_view name) const;
    // Cached while polling with the mode flag set, unless forced.
    virtual int GetMode(bool forceQuery = false);

    // Sensor indices are zero-based here and one-based on the wire; -1 means the active sensor.
    virtual int GetSensorType(bool forceQuery = false, int sensor = -1);
    virtual bool SetSensorType(int code, int sensor = -1);
    virtual bool IsSensorTypeSupported(int code, int sensor = -1);
    virtual int GetSensorCount() const;
    virtual uint32_t GetSupportedSensorMask(int sensor);
    virtual int GetActiveSensor() const;

    // Readings: cached (or the mean of the last ten polls) while polling, else queried.
    virtual float GetT(bool averaged = false, int sensor = -1);
    virtual float GetR(bool averaged = false, int sensor = -1);
    virtual float GetITE(bool averaged = false); // [A]
    virtual float GetV(bool averaged = false);   // [V]
    // True when the last completed poll cycle (or the one running) refreshed that cached value; false
    // before the first cycle, for a value the poll flags leave out and after a cycle that failed to
    // refresh it. sensor (-1: the active one) matters for T and R only.
    virtual bool IsFresh(TecReading reading, int sensor = -1) const;
    // The age up to which the channel's polled values count as live.
    int64_t FreshnessBoundMs() const { return m_freshness.BoundMs(); }

    // The set point of the current mode; an unknown mode sets nothing and reads NoValue.
    virtual bool SetSetPoint(float value);
    virtual float GetSetPoint();
    // ITE, R, T and V once each, recording their precisions, then the error queue.
    virtual bool ReadAllReadings();
    // Digits after the decimal point in the last reply for TecQuantity; 0 for other quantities.
    virtual int GetPrecision(int quantity) const;

    // Only on models with cable resistance; otherwise nothing is sent.
    virtual bool SetCableR(float ohms);
    virtual float GetCableR(); // [ohm]; 0 without cable resistance

    virtual int GetCondition();
    virtual bool SetConditionEnable(int mask);
    virtual int GetConditionEnable();
    virtual bool SetEventEnable(int mask);
    virtual int GetEventEnable();
    virtual bool SetOutputOffEnable(int mask);
    virtual int GetOutputOffEnable();
    virtual int GetEventRegister();

    // How long the set-point bounds read from the unit are taken as its own.
    static constexpr int LimitsKeptMs = 5000;
    // The bounds of a set point in a mode (T, R, ITE; the ITE bounds are minus and plus the current
    // limit) as the unit last gave them: read again only once they are older than LimitsKeptMs or a
    // limit was written meanwhile, and kept fresh by the poll once a check has asked for them, so that a
    // range check costs no round trip. NoValue for a bound that could not be read.
    std::pair<float, float> SetPointLimits(int mode);

    // Range-checked setters: out of range, the message goes to the log and nothing is sent.
    virtual bool SetITE(float amps);
    virtual float GetITESetPoint();
    virtual bool SetITELimit(float amps);
    virtual float GetITELimit();
    virtual float GetMaxITELimit();     // [A]
    virtual float GetMaxITEFromStore(); // factory maximum [mA] / 1000; NoValue when unreadable
    virtual bool SetR(float value);
    virtual float GetRSetPoint();
    virtual bool SetRLowLimit(float value);
    virtual float GetRLowLimit();
    virtual bool SetRHighLimit(float value);
    virtual float GetRHighLimit();
    virtual double GetMinR(int sensorType);
    virtual double GetMaxR(int sensorType);
    virtual std::string GetRUnits(int sensorType); // UTF-8
    virtual bool SetT(float celsius);
    // True when the T set point may not be changed from here, because the unit takes it from elsewhere
    // (an analog input, the laser side of a combined unit). Most models: false.
    virtual bool IsTSetPointLocked();
    virtual float GetTSetPoint();
    virtual bool SetTLowLimit(float celsius, int sensor = -1);
    virtual float GetTLowLimit(int sensor = -1);
    virtual float GetMinT();
    virtual float GetMaxT();
    virtual bool SetTHighLimit(float celsius, int sensor = -1);
    virtual float GetTHighLimit(int sensor = -1);

    virtual bool SetOutput(bool on);
    // Cached while polling with the output flag set, unless forced.
    virtual bool GetOutput(bool forceQuery = false);
    virtual int GetStatusByte();
    // Cached while polling with the analog flag set, else queried.
    virtual bool IsAnalogEnabled();

    // The analog set-point input (units that have one: HasAnalogInterface). Every getter asks the unit
    // and answers false, leaving the value untouched, when the reply is missing or no valid value; every
    // setter answers false when the unit refuses (the error goes to the error list) or, for a
    // sensitivity outside 0..2, without sending anything.
    bool HasAnalogInterface() { return HasCapability85(); }
    virtual bool GetAnalogEnable(bool& enabled);
    virtual bool SetAnalogEnable(bool enabled);
    virtual bool GetAnalogSensitivity(int& index);
    virtual bool SetAnalogSensitivity(int index);
    // The T set point at 0 V and at 2.5 V on the input [°C].
    virtual bool GetAnalogTsetAt0V(double& celsius);
    virtual bool SetAnalogTsetAt0V(double celsius);
    virtual bool GetAnalogTsetAt2V5(double& celsius);
    virtual bool SetAnalogTsetAt2V5(double celsius);

    virtual bool SetTolerance(float celsius, float seconds);
    virtual bool GetTolerance(float& celsius, float& seconds);
    // Gain below 1 selects the PID loop.
    virtual bool SetGain(int gain);
    virtual int GetGain(); // 0 for PID
    virtual bool SetPID(float p, float i, float d);
    virtual bool GetPID(float& p, float& i, float& d);

    // Sensor constants, kept in the instrument's stored values by the family.
    virtual bool SetThermistorConstants(int sensor, float a, float b, float c);
    virtual bool GetThermistorConstants(int sensor, float& a, float& b, float& c);
    virtual bool SetRTDConstants(int sensor, float a, float b, float c, float r0);
    virtual bool GetRTDConstants(int sensor, float& a, float& b, float& c, float& r0);
    // The two slope/offset sets of the IC sensors (set 0 or 1).
    virtual bool SetICConstants(int set, float m, float b);
    virtual bool GetICConstants(int set, float& m, float& b);

    // first is zero-based (sent one-based), second passed unchanged.
    virtual bool SetFan(int mode, float voltage, int first, int second);
    virtual bool GetFan(TecProtocol::SFanSetting& fan);
    virtual bool IsFanSupported();
    // The same answer, or nullopt when the stored feature bits it depends on could not be read.
    std::optional<bool> GetFanSupport();
    // Units that store the heat/cool restriction and do not hide its settings group have it; the
    // others are never asked (they would not answer).
    virtual bool HasHeatCool();
    virtual bool SetHeatCool(int code);
    virtual int GetHeatCool();

    // Model capability answers; the family offers none of them.
    virtual bool SupportsCableR();
    virtual bool HasCapability82();
    virtual bool HasCapability83();
    virtual bool HasCapability84();
    virtual bool HasCapability85();
    virtual bool HasCapability86();
    virtual bool HasCapability105();
    // Per-model flag by key; true hides that group of settings. The family hides nothing.
    virtual bool IsSettingHidden(uint32_t key);

    virtual bool IsAutoTuneSupported();
    // Set by the multi-channel instrument that creates the channel.
    void SetAutoTuneSupported(bool supported) { m_autoTuneSupported.store(supported, Relaxed); }
    virtual bool StartAutoTune(float setPoint);
    virtual bool CancelAutoTune();
    virtual int GetAutoTuneState();  // -1 without autotune
    virtual int GetAutoTuneResult(); // -1 without autotune

    // The session part.
    bool HasTECChannel() const override { return true; }
    bool IsInstrumentType(int type) const override;
    std::string GetCommandPrefix() const override;
    bool PollHook1(uint64_t pollFlags) override;
    // The base identification, then the firmware gates and the first reading of every value.
    bool Identify(bool force) override;
    // One poll cycle of this channel (lower half of the poll flags).
    virtual void UpdateStatus(uint32_t flags);
    // The active sensor's type from the unit; nullopt when no integer came back.
    std::optional<int> QuerySensorType(int sensor);
    bool ReadSensorTypeAtConnect();

    // 0 for a single-channel instrument (no prefix); 1 and above on a multi-channel one.
    void SetChannelNumber(int channel, int subChannel = 0);
    int GetChannelNumber() const { return m_channelNumber.load(Relaxed); }
    // Firmware 2.4/3.4 with a build above 42; read by the models.
    bool GetFirmwareFeatureFlag() const { return m_firmwareFeature.load(Relaxed); }
    // Major, minor and third number of the firmware version text ("v2.4.9"); 0 where missing.
    std::array<int, 3> GetFirmwareVersionNumbers();

protected:
    static constexpr auto Relaxed = std::memory_order_relaxed;
    using AtomicFloat = std::atomic<float>;

    // Sends one setter line with the error check.
    bool Send(const std::string& line);
    // Queries and parses; NoValue / nullopt when the reply is no number.
    float QueryFloat(const std::string& query);
    // One T set point of the analog input: false for a missing, unreadable or non-finite value.
    bool QueryAnalogTset(const char* query, double& celsius);
    bool SendAnalogTset(const char* command, double celsius);
    std::optional<int> QueryInt(const std::string& query);
    // Logs the message and answers false when value lies outside [low, high].
    static bool InRange(float value, double low, double high, const char* what);
    int ResolveSensor(int sensor) const;
    bool IsValidSensor(int sensor) const { return sensor >= 0 && sensor < MaxSensors; }
    // A query or setter addresses one sensor explicitly only on multi-sensor channels.
    bool AddressesSensor(int sensor) const { return sensor >= 0 && GetSensorCount() > 1; }
    bool IsPolled(uint32_t flag) const;
    int Decimals(std::string_view text) const;
    // Stored values of the instrument (absent without a value bag or key).
    std::optional<float> StoredFloat(uint32_t key);
    std::optional<uint32_t> StoredUnsigned(uint32_t key);
    bool HasStoredKey(uint32_t key);
    bool WriteStoredFloat(uint32_t key, float value, bool writeThrough);
    // Consecutive keys from firstKey; false (out untouched) unless every value was found / written.
    bool ReadStoredFloats(uint32_t firstKey, std::span<float> out);
    bool WriteStoredFloats(uint32_t firstKey, std::span<const float> values);

    bool PollStatus(uint32_t flags);
    bool PollSensors(uint32_t flags);
    bool PollOutput(uint32_t flags);
    bool AcceptChannel(const std::string& field) const;
    void StoreReading(AtomicFloat& reading, ReadingHistory& history, float value);
    // The freshness slot of a cached value (T and R one per sensor).
    static int FreshIndex(TecReading reading, int sensor);
    void MarkFresh(TecReading reading, int sensor = 0) { m_freshness.Mark(FreshIndex(reading, sensor)); }

    std::atomic<int> m_mode{0};
    std::atomic<int> m_pendingMode{0};
    std::array<std::atomic<int>, MaxSensors> m_sensorType{};
    std::atomic<int> m_activeSensor{0};
    std::array<AtomicFloat, MaxSensors> m_t{};
    std::array<AtomicFloat, MaxSensors> m_r{};
    AtomicFloat m_ite{NoValue};
    AtomicFloat m_v{NoValue};
    AtomicFloat m_iteSet{NoValue};
    AtomicFloat m_rSet{NoValue};
    AtomicFloat m_tSet{NoValue};
    AtomicFloat m_iteLimit{NoValue};
    AtomicFloat m_rLowLimit{NoValue};
    AtomicFloat m_rHighLimit{NoValue};
    std::array<AtomicFloat, MaxSensors> m_tLowLimit{};
    std::array<AtomicFloat, MaxSensors> m_tHighLimit{};
    // The set-point bounds per mode (T, R, ITE), when they were read (steady clock, ms; 0: not known)
    // and, for T, the sensor they belong to.
    struct SKeptLimits
    {
        AtomicFloat low{NoValue};
        AtomicFloat high{NoValue};
        std::atomic<int64_t> readAtMs{0};
        std::atomic<int> sensor{-1};
        // A range check has asked for them: from then on the poll keeps them fresh.
        std::atomic<bool> wanted{false};
    };
    std::array<SKeptLimits, 3> m_keptLimits{};
    SKeptLimits* KeptLimits(int mode);
    bool LimitsFresh(int mode);
    void ReadLimits(int mode);
    void ForgetLimits(int mode);
    // The poll's share: the active mode's bounds, once a check has wanted them, read again when old.
    void KeepLimits();
    std::atomic<bool> m_output{false};
    std::atomic<uint16_t> m_condition{0};
    std::atomic<bool> m_analogEnabled{false};
    std::atomic<bool> m_autoTuneSupported{false};
    std::atomic<bool> m_firmwareFeature{false};
    std::atomic<int> m_precisionT{0};
    std::atomic<int> m_precisionR{0};
    std::atomic<int> m_precisionITE{0};
    std::atomic<int> m_precisionV{0};
    ReadingHistory m_iteHistory;
    ReadingHistory m_vHistory;
    std::array<ReadingHistory, MaxSensors> m_tHistory;
    std::array<ReadingHistory, MaxSensors> m_rHistory;
    CReadingFreshness m_freshness;

    std::atomic<int> m_channelNumber{0};
    std::atomic<int> m_subChannel{0};
};
