#pragma once

#include "instrument/lamp/LPS.h"
#include "instrument/multi/ChannelSet.h"
#include "instrument/multi/HostedChannel.h"

#include <cstdint>
#include <string>

// A lamp supply with up to four lamp channels on one connection, addressed by "LPS:CHAN %d;". The
// supply's operations go to the selected channel (zero values, nothing sent, while it is absent);
// identification, channel discovery, polling, pending hand-overs and the error lists run for all
// present channels.
class CMultiLPS : public CLPS
{
public:
    static constexpr int MaxChannels = 4;
    using Channel = CHostedChannel<CLPS>;

    CMultiLPS();
    // Stops polling before the channels go, so the poll thread never reaches a destroyed channel.
    ~CMultiLPS() override;

    // Zero-based index into the present channels; out of range leaves the selection unchanged.
    virtual void SelectChannel(int index);
    virtual int GetSelectedChannel() const;
    virtual CLPS* GetSelectedChannelObject() const;
    virtual CLPS* GetChannelObject(int index) const;
    int GetLampChannelCount() const { return m_channels.GetCount(); }
    // Slots whose selection the unit answered with another channel's number at the last discovery.
    int GetLampMisselected() const { return m_channels.GetMisselected(); }

    // --- forwarded to the selected channel ---
    bool SetMode(int mode) override;
    int GetMode(bool forceQuery) override;
    float GetLDI(bool averaged) override;
    // The selected supply's readings come from its own polls.
    bool IsFresh(LaserPollItem item) const override;
    float GetLDV(bool averaged) override;
    float GetVBulk() override;
    bool ReadAllReadings() override;
    bool SetSetPoint(double value) override;
    float GetSetPoint() override;
    int GetPrecision(int mode) const override;
    bool SetSetPointPrecise(int quantity, double value) override;
    float GetLDIDirect() override;
    bool SetLDI(double amps) override;
    float GetLDISetPoint() override;
    bool SetLDILimit(double amps) override;
    float GetLDILimit() override;
    bool SetCurrentRate(double ampsPerSecond) override;
    float GetCurrentRate() override;
    float GetLDVDirect() override;
    bool SetLDV(double volts) override;
    float GetLDVSetPoint() override;
    bool SetLDVLimit(double volts) override;
    float GetLDVLimit() override;
    bool SetVSense(bool on) override;
    bool GetVSense() override;
    bool SetVoltageRate(double voltsPerSecond) override;
    float GetVoltageRate() override;
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

    // --- session parts: these run for every present channel ---
    bool HasLaserChannel() const override;
    std::string GetCommandPrefix() const override;
    bool PollHook1(uint64_t pollFlags) override;
    bool PollHook2(uint64_t pollFlags) override;
    bool PollHook3(uint64_t pollFlags) override;
    void ProcessPending() override;
    int GetErrorCount() const override;
    // Indexes count the unit's own errors first, then each present channel's in channel order.
    CErrorMsg GetError(int index, bool remove) override;
    void ClearErrors() override;
    void ClearUserFlag() override;
    // The base identification only: the unit has no lamp channel of its own to read back.
    bool Identify(bool force) override;
    // Opens the shared connection, identifies, asks "LPS:CHAN %d;LPS:CHAN?" for each channel.
    bool Connect(const std::string& descriptor) override;
    void Disconnect() override;
    void GoLocal() override;

private:
    template <typename Result, typename Call>
    Result Forward(Call call, Result none) const
    {
        if (CLPS* channel = GetSelectedChannelObject())
            return call(*channel);
        return none;
    }
    // Runs one of the session's poll hooks (1 to 3) on every present channel.
    void PollChannels(int hook, uint64_t pollFlags);

    CChannelSet<Channel, MaxChannels> m_channels;
};
