#pragma once

#include "instrument/lamp/LpsProtocol.h"
#include "instrument/laser/Laser.h"
#include "instrument/session/ReadingHistory.h"

#include <atomic>
#include <string>
#include <string_view>

// A lamp power supply driven through the laser interface: lamp current takes the place of LDI [A],
// lamp voltage that of LDV [V]. Current mode is LaserModeICW ("I"), voltage mode LaserModeLDV ("V").
// The supply sets its own bounds, so the maxima answer -1 (no maximum to check). Photodiode, pulse,
// QCW, on-delay and range operations answer zero and send nothing: a lamp supply has none of them.
//
// The readings are this class's own caches, written by its poll and read by the user interface.
class CLPS : public CLaser
{
public:
    static constexpr float NoMaximum = -1.0f;

    CLPS();
    ~CLPS() override = default;

    // --- modes: "I" and "V" only ---
    bool SetMode(int mode) override;
    int ParseModeName(std::string_view reply) const override;
    int GetMode(bool forceQuery) override;
    bool IsModeSupported(int mode) const override;

    // --- readings ---
    float GetLDI(bool averaged) override;
    float GetLDV(bool averaged) override;
    float GetMDI(bool) override { return 0.0f; }
    float GetMDP(bool) override { return 0.0f; }
    float GetVPeak() override { return 0.0f; }
    float GetVBulk() override;
    bool ReadAllReadings() override;
    bool SetSetPoint(double value) override;
    float GetSetPoint() override;
    int GetPrecision(int mode) const override;
    bool SetSetPointPrecise(int quantity, double value) override;

    // --- current ---
    float GetLDIDirect() override;
    bool SetLDI(double amps) override;
    float GetLDISetPoint() override;
    bool SetLDILimit(double amps) override;
    float GetLDILimit() override;
    float GetMaxLDILimit(bool) override { return NoMaximum; }
    float GetMaxLDISetPoint() override { return NoMaximum; }
    double GetCurrentScale() const override { return 1.0; }
    virtual bool SetCurrentRate(double ampsPerSecond);
    virtual float GetCurrentRate();

    // --- voltage ---
    float GetLDVDirect() override;
    bool SetLDV(double volts) override;
    float GetLDVSetPoint() override;
    bool SetLDVLimit(double volts) override;
    float GetLDVLimit() override;
    float GetMaxLDVSetPoint() override { return NoMaximum; }
    float GetMaxLDVLimit() override { return NoMaximum; }
    bool SetVSense(bool on) override;
    bool GetVSense() override;
    bool IsVSenseSupported() const override { return true; }
    virtual bool SetVoltageRate(double voltsPerSecond);
    virtual float GetVoltageRate();

    // --- output, registers, settings ---
    bool SetOutput(bool on) override;
    bool GetOutput(bool forceQuery) override;
    bool SetCableR(double ohms) override;
    float GetCableR() override;
    uint16_t GetConditionRegister() override;
    bool SetConditionEnable(uint16_t mask) override;
    uint16_t GetConditionEnable() override;
    bool SetEventEnable(uint16_t mask) override;
    uint16_t GetEventEnable() override;
    bool SetOutputOffEnable(int mask) override;
    int GetOutputOffEnable() override;
    uint16_t GetEventRegister() override;
    int GetStatusByte() override;
    bool SetTolerance(double, double) override { return false; }
    bool GetTolerance(float& tolerance, float& timeSeconds) override;

    // --- what a lamp supply does not have ---
    float GetMDIDirect() override { return 0.0f; }
    float GetMaxMDILimit() override { return 0.0f; }
    bool SetMDI(double) override { return false; }
    float GetMDISetPoint() override { return 0.0f; }
    bool SetMDILimit(double) override { return false; }
    float GetMDILimit() override { return 0.0f; }
    float GetMaxMDISetPoint() override { return 0.0f; }
    float GetMDPDirect() override { return 0.0f; }
    bool SetMDP(double) override { return false; }
    float GetMDPSetPoint() override { return 0.0f; }
    bool SetMDPLimit(double) override { return false; }
    float GetMDPLimit() override { return 0.0f; }
    float GetMaxMDP() override { return 0.0f; }
    bool SetOnDelay(int) override { return false; }
    int GetOnDelay() override { return 0; }
    bool SetCalMD(double) override { return false; }
    float GetCalMD() override { return 0.0f; }
    bool SetPDBias(double) override { return false; }
    float GetPDBias() override { return 0.0f; }
    bool IsQCWSupported() const override { return false; }
    bool SetFrequency(double) override { return false; }
    float GetFrequency(bool) override { return 0.0f; }
    float GetPulseWidth(bool) override { return 0.0f; }
    bool SetPulseWidthF(double) override { return false; }
    bool SetPulseWidthP(double) override { return false; }
    bool SetDutyCycle(double) override { return false; }
    float GetDutyCycle() override { return 0.0f; }
    bool SetDelayIn(double) override { return false; }
    float GetDelayIn() override { return 0.0f; }
    bool SetDelayOut(double) override { return false; }
    float GetDelayOut() override { return 0.0f; }
    int GetQCWCount() override { return 0; }
    bool SetQCWCount(int) override { return false; }
    bool GetQCWHold() override { return false; }
    bool SetQCWHold(bool) override { return false; }
    bool GetPulseMinima(SPulseTiming&) override { return false; }
    bool GetPulseMaxima(SPulseTiming&) override { return false; }
    bool SetQCWLow(double) override { return false; }
    float GetQCWLow() override { return 0.0f; }
    bool SetQCWLowMode(bool) override { return false; }
    bool GetQCWLowMode() override { return false; }
    bool GetStoredPulseValues(int, std::array<float, 3>&) override { return false; }
    bool HasDualRange() const override { return false; }
    int GetRange() override { return 0; }
    bool SetRange(int) override { return false; }

    // --- factory calibration (reached only from factory tools) ---
    enum LampCalibrationStep : int
    {
        CalibrateLampCurrent = 0,
        CalibrateLampCurrentNext = 1, // the second point of the current calibration
        CalibrateLampVoltage = 2,
        CalibrateLampVoltageNext = 3,
        CalibrateLampVBulk = 4,
        CalibrateLampPS = 5,
        CalibrateLampILimit = 6
    };
    bool StartFactoryCalibration(int step) override;
    float QueryFactoryCalibration(int step) override;
    bool CancelFactoryCalibration() override;
    // The reference resistance the factory tool measured [ohm], with the given digits.
    virtual bool SetCalibrationReference(double ohms, int digits);
    bool SendFactoryDacLine1() override;
    bool SendFactoryDacLine2() override;

    // --- session parts ---
    // "LPS:CHAN %d;" (or "LPS:CHAN %d,%d;") on a channel of a multi-channel supply; empty otherwise.
    std::string GetCommandPrefix() const override;
    // One line of its own: the selected readings, then "ERR?"; a short or garbled reply discards the
    // whole cycle and counts as a failed poll.
    bool UpdateStatus(uint64_t pollFlags) override;
    void ResetLaserState() override;

    int GetCurrentPrecision() const { return m_precisionCurrent.load(std::memory_order_relaxed); }
    int GetVoltagePrecision() const { return m_precisionVoltage.load(std::memory_order_relaxed); }

private:
    void ApplyPollField(const LpsProtocol::SPollField& field);
    void StoreReading(std::atomic<float>& cache, ReadingHistory& history, std::atomic<int>& precision,
                      float value, int digits);
    // A reading read at once and its precision recorded; NoValue when the reply is no number.
    float ReadReading(std::string_view query, std::atomic<float>& cache, std::atomic<int>& precision);
    // The polled value while the poll reads it and has brought one, else a query.
    float Polled(std::atomic<float>& cache, uint32_t flag, std::string_view query);
    float Reading(const std::atomic<float>& cache, const ReadingHistory& history, bool averaged,
                  uint32_t flag, std::string_view query);
    bool SendCached(const std::string& command, std::atomic<float>& cache, double value);

    std::atomic<int> m_lampMode{LaserModeNone};
    std::atomic<int> m_lampPendingMode{LaserModeNone};
    std::atomic<float> m_current{NoValue};    // [A]
    std::atomic<float> m_voltage{NoValue};    // [V]
    std::atomic<float> m_currentSet{NoValue}; // [A]
    std::atomic<float> m_voltageSet{NoValue}; // [V]
    std::atomic<float> m_vBulkLamp{NoValue};  // [V]
    std::atomic<bool> m_lampOutput{false};
    std::atomic<int> m_precisionCurrent{1};
    std::atomic<int> m_precisionVoltage{1};
    ReadingHistory m_currentHistory;
    ReadingHistory m_voltageHistory;
};
