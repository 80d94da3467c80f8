#pragma once

#include "instrument/laser/Laser.h"
#include "instrument/multi/ChannelSet.h"
#include "instrument/multi/HostedChannel.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A unit with several laser channels on one connection. It presents the ordinary laser interface and
// forwards every laser operation to the selected channel (zero values, nothing sent, while that channel
// is absent); identification, channel discovery, polling, pending hand-overs and the error lists run
// for all present channels.
class CMultiLaser : public CLaser
{
public:
    static constexpr int MaxChannels = 8;
    using Channel = CHostedChannel<CLaser>;

    CMultiLaser();
    // Stops polling before the channels go, so the poll thread never reaches a destroyed channel.
    ~CMultiLaser() override;

    // Zero-based index into the present channels; out of range leaves the selection unchanged.
    virtual void SelectChannel(int index);
    virtual int GetSelectedChannel() const;
    virtual CLaser* GetSelectedChannelObject() const;
    // Callers pass an index below the channel count; null otherwise.
    virtual CLaser* GetChannelObject(int index) const;
    int GetLaserChannelCount() const { return m_channels.GetCount(); }
    // Slots whose selection the unit answered with another channel's number at the last discovery.
    int GetLaserMisselected() const { return m_channels.GetMisselected(); }
    // The model's number of laser channel slots, present or not.
    int GetLaserChannelSlots() const { return m_channels.GetSlots(); }

    // --- forwarded to the selected channel ---
    bool SetMode(int mode) override;
    int ParseModeName(std::string_view reply) const override;
    int GetMode(bool forceQuery) override;
    bool IsModeSupported(int mode) const override;
    float GetLDI(bool averaged) override;
    // The selected channel's readings come from its own polls.
    bool IsFresh(LaserPollItem item) const override;
    float GetMDI(bool averaged) override;
    float GetMDP(bool averaged) override;
    float GetLDV(bool averaged) override;
    float GetVPeak() override;
    float GetVBulk() override;
    bool ReadAllReadings() override;
    bool SetSetPoint(double value) override;
    float GetSetPoint() override;
    int GetPrecision(int mode) const override;
    bool SetSetPointPrecise(int quantity, double value) override;
    float GetLDIDirect() override;
    bool SetLDI(double value) override;
    float GetLDISetPoint() override;
    bool SetLDILimit(double value) override;
    float GetLDILimit() override;
    float GetMaxLDILimit(bool rangeAware) override;
    float GetMaxLDISetPoint() override;
    float GetLDVDirect() override;
    bool SetLDV(double value) override;
    float GetLDVSetPoint() override;
    bool SetLDVLimit(double value) override;
    float GetLDVLimit() override;
    float GetMaxLDVSetPoint() override;
    float GetMaxLDVLimit() override;
    bool SetVSense(bool on) override;
    bool GetVSense() override;
    bool IsVSenseSupported() const override;
    float GetMDIDirect() override;
    float GetMaxMDILimit() override;
    bool SetMDI(double value) override;
    float GetMDISetPoint() override;
    bool SetMDILimit(double value) override;
    float GetMDILimit() override;
    float GetMaxMDISetPoint() override;
    float GetMDPDirect() override;
    bool SetMDP(double value) override;
    float GetMDPSetPoint() override;
    bool SetMDPLimit(double value) override;
    float GetMDPLimit() override;
    float GetMaxMDP() override;
    bool SetOutput(bool on) override;
    bool GetOutput(bool forceQuery) override;
    bool SetOnDelay(int ms) override;
    int GetOnDelay() override;
    bool SetCalMD(double value) override;
    float GetCalMD() override;
    bool SetCableR(double ohms) override;
    float GetCableR() override;
    bool SetPDBias(double value) override;
    float GetPDBias() override;
    bool SetTolerance(double tolerance, double timeSeconds) override;
    bool GetTolerance(float& tolerance, float& timeSeconds) override;
    bool HasConditionFeature() const override;
    uint16_t GetConditionRegister() override;
    bool SetConditionEnable(uint16_t mask) override;
    uint16_t GetConditionEnable() override;
    bool SetEventEnable(uint16_t mask) override;
    uint16_t GetEventEnable() override;
    bool SetOutputOffEnable(int mask) override;
    int GetOutputOffEnable() override;
    uint16_t GetEventRegister() override;
    int GetStatusByte() override;
    bool IsQCWSupported() const override;
    bool SetFrequency(double hz) override;
    float GetFrequency(bool forceQuery) override;
    float GetPulseWidth(bool forceQuery) override;
    bool SetPulseWidthF(double value) override;
    bool SetPulseWidthP(double value) override;
    bool SetDutyCycle(double percent) override;
    float GetDutyCycle() override;
    bool SetDelayIn(double value) override;
    float GetDelayIn() override;
    bool SetDelayOut(double value) override;
    float GetDelayOut() override;
    int GetQCWCount() override;
    bool SetQCWCount(int count) override;
    bool GetQCWHold() override;
    bool SetQCWHold(bool on) override;
    bool GetPulseMinima(SPulseTiming& minima) override;
    bool GetPulseMaxima(SPulseTiming& maxima) override;
    bool SetQCWLow(double value) override;
    float GetQCWLow() override;
    bool SetQCWLowMode(bool on) override;
    bool GetQCWLowMode() override;
    bool HasDualRange() const override;
    int GetRange() override;
    bool SetRange(int range) override;
    bool HasExtendedFeatures() const override;
    bool HasRemoteSetControl() const override;
    bool GetLaserRemoteSet() override;
    bool SetLaserRemoteSet(bool on) override;
    bool GetFeatureFlag(uint32_t key) const override;
    bool GetModelFlag() const override;
    bool GetFactoryFlag() override;
    bool ResendStoredSettings() override;
    bool SendFactoryDacLine1() override;
    bool SendFactoryDacLine2() override;
    bool ResendLimits() override;
    bool ResendLDILimit() override;
    bool ResendLDVLimit() override;
    bool StartFactoryCalibration(int step) override;
    float QueryFactoryCalibration(int step) override;
    bool CancelFactoryCalibration() override;
    bool GetStoredPulseValues(int set, std::array<float, 3>& values) override;
    std::optional<float> GetStoredValue(StoredValue key) override;
    bool SetStoredValue(StoredValue key, float value) override;

    // --- session parts: these run for every present channel ---
    bool HasLaserChannel() const override;
    bool PollHook1(uint64_t pollFlags) override;
    bool PollHook2(uint64_t pollFlags) override;
    bool PollHook3(uint64_t pollFlags) override;
    void ProcessPending() override;
    int GetErrorCount() const override;
    // Indexes the unit's list, then each channel's, as GetErrorCount counts them.
    CErrorMsg GetError(int index, bool remove) override;
    void ClearErrors() override;
    void ClearUserFlag() override;
    // The base identification only: the parent has no laser channel of its own to read back.
    bool Identify(bool force) override;
    // Opens the shared connection, identifies, discovers the channels.
    bool Connect(const std::string& descriptor) override;
    void Disconnect() override;

protected:
    // Model constructors add their channels in channel order; the first gets number 1.
    void AddLaserChannel(std::unique_ptr<Channel> channel);
    // Asks each slot "LAS:CHAN %d;LAS:CHAN?" and keeps those answering their own number, compacted,
    // each given the parent's identity. Models whose channels are always fitted present them all.
    virtual void DiscoverLaserChannels();
    // Every slot present, in channel order, each given the parent's identity; nothing is sent.
    void PresentAllLaserChannels();
    void ForgetLaserChannels();
    void ForEachLaserChannel(const std::function<void(Channel&)>& visit) const;
    // Runs one of the session's poll hooks (1 to 3) on every present channel.
    void PollLaserChannels(int hook, uint64_t pollFlags);
    // The channels' health folded into the parent's: the worst failedPolls, fresh values from any.
    void CollectLaserChannelHealth(int& failedPolls, bool& fresh) const;
    int SumLaserChannelErrors() const;
    std::vector<CInstrBase*> LaserChannelList() const;

private:
    CChannelSet<Channel, MaxChannels> m_channels;
};
