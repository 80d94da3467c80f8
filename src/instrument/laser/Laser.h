#pragma once

#include "instrument/laser/LaserProtocol.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/KeptValue.h"
#include "instrument/session/PollFailureRun.h"
#include "instrument/session/ReadingFreshness.h"
#include "instrument/session/ReadingHistory.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One laser-diode driver channel: a current source run in one of the LaserMode modes, with the
// diode current (LDI [mA]), diode voltage (LDV [V]), photodiode current (MDI [µA]) and photodiode power
// (MDP [mW]) as set points, limits and readings, an output switch, an optional second current range
// and optional pulsed (QCW) operation.
//
// Derives virtually from the session so that a combined laser+TEC unit has one session; the laser
// poll runs in PollHook2 and reads only the upper half of the poll selection. Cached values are
// written by the poll thread and read by the user interface, hence atomics.
class CLaser : public virtual CInstrBase
{
public:
    // The "no value" mark of every cached reading and set point after a reset.
    static constexpr float NoValue = -1e32f;

    // Quantities of SetSetPointPrecise.
    enum PreciseQuantity : int
    {
        PreciseLDI = 0,
        PreciseLDV = 1,
        PreciseMDI = 2,
        PreciseLDIAlt = 10 // the same as PreciseLDI; older callers pass it
    };

    // Steps of the factory calibration, in the order the calibration tool offers them.
    enum CalibrationStep : int
    {
        CalibrateLDX = 0,
        CalibrateMDX = 1,
        CalibrateLVX = 2,
        CalibrateILIM = 3,
        CalibrateVLIM = 4,
        CalibrateQCWLow = 5 // only when QCW is supported
    };

    // Factory values kept in the user area of the value bag.
    enum StoredValue : uint32_t
    {
        StoredValue370010 = 0x370010,
        StoredValue370011 = 0x370011,
        StoredValue370015 = 0x370015,
        StoredValue370031 = 0x370031
    };

    // Value-bag keys the channel reads.
    static constexpr uint32_t KeyMaxLDI = 0x380014; // [mA]
    static constexpr uint32_t KeyMaxMDI = 0x380015; // [µA]
    static constexpr uint32_t KeyMaxLDV = 0x380016; // [mV]
    static constexpr uint32_t KeyMaxMDP = 0x380017; // [µW]
    static constexpr uint32_t KeyRange = 0x370016;  // 0 low, 1 high
    static constexpr uint32_t KeyFactoryFlag = 0x380047;

    // Pulse timing in the units of the pulse commands: width [ms], duty cycle [%], frequency [Hz],
    // delays [s].
    struct SPulseTiming
    {
        double pulseWidth = 0.0;
        double dutyCycle = 0.0;
        double frequency = 0.0;
        double delayIn = 0.0;
        double delayOut = 0.0;
    };

    CLaser();
    ~CLaser() override = default;

    // --- modes ---
    virtual bool SetMode(int mode);
    virtual int ParseModeName(std::string_view reply) const;
    virtual int GetMode(bool forceQuery);
    virtual bool IsModeSupported(int mode) const;

    // --- readings: cached while polling (or the mean of the last ten when averaged) ---
    virtual float GetLDI(bool averaged);
    virtual float GetMDI(bool averaged);
    virtual float GetMDP(bool averaged);
    virtual float GetLDV(bool averaged);
    virtual float GetVPeak();
    virtual float GetVBulk();
    // Reads every reading once and records the precision of each reply; true when all were read.
    // The error queue is left to the caller (the connect empties it once, last).
    virtual bool ReadAllReadings();

    // --- the set point of the current mode ---
    virtual bool SetSetPoint(double value);
    virtual float GetSetPoint();
    // Precision of the quantity the mode drives; 1 for a mode without one.
    virtual int GetPrecision(int mode) const;
    // Sends the set point with three more digits than the instrument's own precision.
    virtual bool SetSetPointPrecise(int quantity, double value);

    // --- LDI (set point getters answer from the poll while it reads them) ---
    virtual float GetLDIDirect();
    virtual bool SetLDI(double value);
    virtual float GetLDISetPoint();
    virtual bool SetLDILimit(double value); // truncated to whole mA
    virtual float GetLDILimit();
    // The model's maximum LDI limit [mA]; rangeAware halves it in the low range of a dual-range model.
    virtual float GetMaxLDILimit(bool rangeAware);
    virtual float GetMaxLDISetPoint();
    // LDI units per ampere: a laser channel carries mA (a lamp supply, amperes).
    virtual double GetCurrentScale() const { return 1000.0; }

    // --- LDV ---
    virtual float GetLDVDirect();
    virtual bool SetLDV(double value);
    virtual float GetLDVSetPoint();
    virtual bool SetLDVLimit(double value);
    virtual float GetLDVLimit();
    virtual float GetMaxLDVSetPoint();
    virtual float GetMaxLDVLimit();
    virtual bool SetVSense(bool on);
    virtual bool GetVSense();
    virtual bool IsVSenseSupported() const;

    // --- MDI ---
    virtual float GetMDIDirect();
    virtual float GetMaxMDILimit();
    virtual bool SetMDI(double value);
    virtual float GetMDISetPoint();
    virtual bool SetMDILimit(double value); // truncated to whole µA
    virtual float GetMDILimit();
    virtual float GetMaxMDISetPoint();

    // --- MDP ---
    virtual float GetMDPDirect();
    virtual bool SetMDP(double value);
    virtual float GetMDPSetPoint();
    virtual bool SetMDPLimit(double value);
    virtual float GetMDPLimit();
    virtual float GetMaxMDP();

    // What bounds a set point: the unit's limits, and the responsivity an MDP set point is divided by.
    enum KeptSetting : int
    {
        KeptLDILimit,
        KeptMDILimit,
        KeptLDVLimit,
        KeptCalMD,
        KeptSettingCount
    };
    // The setting as the unit last gave it, kept for a few seconds and then kept fresh by the poll, so
    // that a set point's range check costs no round trip. NoValue when it could not be read.
    float GetKeptSetting(KeptSetting which);

    // --- output and settings ---
    virtual bool SetOutput(bool on);
    virtual bool GetOutput(bool forceQuery);
    virtual bool SetOnDelay(int ms);
    virtual int GetOnDelay();
    virtual bool SetCalMD(double value);
    virtual float GetCalMD();
    bool IsCalMDSent() const { return m_calMDSent.load(std::memory_order_relaxed); }
    // Whether the unit compensates its cable's resistance ("LAS:CABLER"); the drivers of the catalogue do.
    virtual bool HasCableR() const { return true; }
    virtual bool SetCableR(double ohms);
    virtual float GetCableR();
    virtual bool SetPDBias(double value);
    virtual float GetPDBias();
    virtual bool SetTolerance(double tolerance, double timeSeconds);
    // tolerance [mA], time [s]; false when the reply does not hold two numbers.
    virtual bool GetTolerance(float& tolerance, float& timeSeconds);

    // --- status registers ---
    virtual bool HasConditionFeature() const;
    virtual uint16_t GetConditionRegister();
    virtual bool SetConditionEnable(uint16_t mask);
    virtual uint16_t GetConditionEnable();
    virtual bool SetEventEnable(uint16_t mask);
    virtual uint16_t GetEventEnable();
    virtual bool SetOutputOffEnable(int mask);
    virtual int GetOutputOffEnable();
    virtual uint16_t GetEventRegister();
    virtual int GetStatusByte();

    // --- pulsed operation ---
    virtual bool IsQCWSupported() const;
    virtual bool SetFrequency(double hz); // truncated to tenths
    virtual float GetFrequency(bool forceQuery);
    virtual float GetPulseWidth(bool forceQuery);
    virtual bool SetPulseWidthF(double value); // "LAS:PWF", truncated to thousandths
    virtual bool SetPulseWidthP(double value); // "LAS:PWP", truncated to thousandths
    virtual bool SetDutyCycle(double percent); // truncated to tenths
    virtual float GetDutyCycle();
    virtual bool SetDelayIn(double value);
    virtual float GetDelayIn();
    virtual bool SetDelayOut(double value);
    virtual float GetDelayOut();
    virtual int GetQCWCount();
    virtual bool SetQCWCount(int count);
    virtual bool GetQCWHold();
    virtual bool SetQCWHold(bool on);
    // The unit's stored bounds of the pulse timing ("LAS:QCWMIN?", "LAS:QCWMAX?"); false when the
    // reply does not hold the five values.
    virtual bool GetPulseMinima(SPulseTiming& minima);
    virtual bool GetPulseMaxima(SPulseTiming& maxima);
    virtual bool SetQCWLow(double value);
    virtual float GetQCWLow();
    virtual bool SetQCWLowMode(bool on);
    virtual bool GetQCWLowMode();

    // --- range, remote set, capabilities ---
    virtual bool HasDualRange() const;
    virtual int GetRange();
    virtual bool SetRange(int range);
    virtual bool HasExtendedFeatures() const;
    // Also enables the laser's remote-set commands.
    virtual bool HasRemoteSetControl() const;
    virtual bool GetLaserRemoteSet();
    virtual bool SetLaserRemoteSet(bool on);
    virtual bool GetFeatureFlag(uint32_t key) const;
    virtual bool GetModelFlag() const;
    virtual bool GetFactoryFlag();

    // --- stored settings and factory support ---
    virtual bool ResendStoredSettings();
    virtual bool SendFactoryDacLine1();
    virtual bool SendFactoryDacLine2();
    virtual bool ResendLimits();
    virtual bool ResendLDILimit();
    virtual bool ResendLDVLimit();
    virtual bool StartFactoryCalibration(int step);
    virtual float QueryFactoryCalibration(int step);
    virtual bool CancelFactoryCalibration();
    // The three pulse factory values 0x38001D-0x38001F (set 0) or 0x38001A-0x38001C (set 1);
    // only on pulse-capable models.
    virtual bool GetStoredPulseValues(int set, std::array<float, 3>& values);
    // Stored factory values in the key's own type (32-bit floats in the model tables).
    virtual std::optional<float> GetStoredValue(StoredValue key);
    virtual bool SetStoredValue(StoredValue key, float value);

    // --- session parts ---
    bool HasLaserChannel() const override;
    bool IsInstrumentType(int type) const override;
    std::string GetCommandPrefix() const override;
    bool PollHook2(uint64_t pollFlags) override;
    // The connect step: identification, then the channel's own state read back from the instrument.
    bool Identify(bool force) override;

    // The laser poll of one cycle (PollHook2).
    virtual bool UpdateStatus(uint64_t pollFlags);
    // True when the last completed poll cycle (or the one running) refreshed that cached value; false
    // before the first cycle, for a value the poll flags leave out and after a cycle that failed to
    // refresh it. A lamp supply answers for its current as LDI and its voltage as LDV.
    virtual bool IsFresh(LaserPollItem item) const { return m_freshness.IsFresh(static_cast<int>(item)); }
    // The age up to which the channel's polled values count as live.
    int64_t FreshnessBoundMs() const { return m_freshness.BoundMs(); }
    // Writes NoValue into every cached reading and set point and empties the histories.
    virtual void ResetLaserState();

    // 0 for a single-channel unit (no prefix); 1 and above on a multi-channel one.
    void SetLaserChannelNumber(int channel, int subChannel = 0);
    int GetLaserChannelNumber() const { return m_channelNumber.load(std::memory_order_relaxed); }
    // Precision of one reading, by quantity.
    int GetLDIPrecision() const { return m_precisionLDI.load(std::memory_order_relaxed); }
    int GetMDIPrecision() const { return m_precisionMDI.load(std::memory_order_relaxed); }
    int GetMDPPrecision() const { return m_precisionMDP.load(std::memory_order_relaxed); }
    int GetLDVPrecision() const { return m_precisionLDV.load(std::memory_order_relaxed); }
    int GetPendingMode() const { return m_pendingMode.load(std::memory_order_relaxed); }
    size_t GetLDIHistoryCount() const { return m_historyLDI.Count(); }

    // Capability flags; the model classes set them.
    void SetOnDelaySupported(bool on) { m_onDelaySupported.store(on, std::memory_order_relaxed); }
    void SetVSenseSupported(bool on) { m_vSenseSupported.store(on, std::memory_order_relaxed); }
    void SetPulseCapable(bool on) { m_pulseCapable.store(on, std::memory_order_relaxed); }
    bool IsPulseCapable() const { return m_pulseCapable.load(std::memory_order_relaxed); }
    void SetQCWSupported(bool on) { m_qcwSupported.store(on, std::memory_order_relaxed); }
    void SetFeatureFlag(bool on) { m_featureFlag.store(on, std::memory_order_relaxed); }
    void SetExtendedLimit(bool on) { m_extendedLimit.store(on, std::memory_order_relaxed); }
    bool GetExtendedLimit() const { return m_extendedLimit.load(std::memory_order_relaxed); }

protected:
    // A set command: the routed command with the error check.
    bool SendSet(const std::string& command);
    // Sends, then caches the value whether or not the unit took it (its refusal reaches the error list).
    bool SendAndCache(const std::string& command, std::atomic<float>& cache, double value);
    // A query answered with a number; NoValue when nothing readable came back.
    float QueryNumber(std::string_view query);
    std::optional<long long> QueryInteger(std::string_view query);
    // Whether a reading is polled: the bit in the upper half of pollFlags or extraPollFlags.
    bool IsPolledLaserItem(uint32_t upperFlag) const;
    // The firmware's major version from its "v%d.%d" text; 0 when unreadable.
    int FirmwareMajor();
    std::optional<int> BagInt(uint32_t key);
    std::optional<float> BagFloat(uint32_t key);
    // The reply is one from this channel (a single-channel unit answers 0, like its channel number).
    bool IsOwnChannel(int answered) const;

    // Stamped by the poll; a model's own poll brackets its cycle and marks what it stored.
    void MarkFresh(LaserPollItem item) { m_freshness.Mark(static_cast<int>(item)); }
    CReadingFreshness m_freshness;
    // Polls whose reply was missing or unreadable, said once per run.
    CPollFailureRun m_missingData{"Error detected, or missing data!"};

private:
    void ApplyPollValue(const LaserPollValue& value);
    void RecordReading(std::atomic<float>& cache, ReadingHistory& history, std::atomic<int>& precision,
                       const LaserPollValue& value);
    // The polled value while the poll reads it and has brought one, else a query.
    float PolledOrQueried(std::atomic<float>& cache, uint32_t upperFlag, std::string_view query);
    float CachedReading(const std::atomic<float>& cache, const ReadingHistory& history, bool averaged,
                        std::string_view query);
    void ApplyPendingMode();
    float ReadKeptSetting(KeptSetting which);
    // Keeps fresh what bounds the set point of the current mode.
    void RefreshKeptSettings();
    void ForgetKeptSetting(KeptSetting which) { m_kept[which].Forget(); }

    std::atomic<int> m_channelNumber{0};
    std::atomic<int> m_subChannel{0};

    std::atomic<int> m_mode{LaserModeNone};
    std::atomic<int> m_pendingMode{LaserModeNone};
    std::atomic<float> m_ldi{NoValue}; // [mA]
    std::atomic<float> m_mdi{NoValue}; // [µA]
    std::atomic<float> m_mdp{NoValue}; // [mW]
    std::atomic<float> m_ldv{NoValue}; // [V]
    std::atomic<float> m_ldiSet{NoValue};
    std::atomic<float> m_mdiSet{NoValue};
    std::atomic<float> m_mdpSet{NoValue};
    std::atomic<float> m_ldvSet{NoValue};
    std::atomic<float> m_vBulk{NoValue}; // [V]
    std::atomic<float> m_vPeak{NoValue}; // [V]
    std::atomic<bool> m_outputOn{false};
    std::atomic<float> m_frequency{NoValue};  // [Hz]
    std::atomic<float> m_pulseWidth{NoValue}; // instrument units
    std::atomic<float> m_pdBias{NoValue};     // [V]
    std::atomic<bool> m_calMDSent{false};
    std::array<CKeptValue, KeptSettingCount> m_kept;

    std::atomic<int> m_precisionLDI{1};
    std::atomic<int> m_precisionMDI{1};
    std::atomic<int> m_precisionMDP{1};
    std::atomic<int> m_precisionLDV{1};
    ReadingHistory m_historyLDI;
    ReadingHistory m_historyMDI;
    ReadingHistory m_historyMDP;
    ReadingHistory m_historyLDV;

    std::atomic<bool> m_onDelaySupported{true};
    std::atomic<bool> m_vSenseSupported{false};
    std::atomic<bool> m_pulseCapable{false};
    std::atomic<bool> m_qcwSupported{false};
    std::atomic<bool> m_featureFlag{false};
    std::atomic<bool> m_extendedLimit{false};
};
