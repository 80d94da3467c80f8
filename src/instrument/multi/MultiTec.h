#pragma once

#include "instrument/multi/ChannelSet.h"
#include "instrument/multi/HostedChannel.h"
#include "instrument/tec/TEC.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A unit with several TEC channels on one connection. It presents the ordinary TEC interface and
// forwards every TEC operation to the selected channel (zero values, nothing sent, while that channel
// is absent); identification, channel discovery, polling, pending hand-overs and the error lists run
// for all present channels.
class CMultiTec : public CTEC
{
public:
    static constexpr int MaxChannels = 4;
    using Channel = CHostedChannel<CTEC>;

    CMultiTec();
    // Stops polling before the channels go, so the poll thread never reaches a destroyed channel.
    ~CMultiTec() override;

    // Zero-based index into the present channels; out of range leaves the selection unchanged.
    virtual void SelectChannel(int index);
    virtual int GetSelectedChannel() const;
    virtual CTEC* GetSelectedChannelObject() const;
    // Callers pass an index below the channel count; null otherwise.
    virtual CTEC* GetChannelObject(int index) const;
    int GetTecChannelCount() const { return m_channels.GetCount(); }
    // Slots whose selection the unit answered with another channel's number at the last discovery.
    int GetTecMisselected() const { return m_channels.GetMisselected(); }
    // The model's number of TEC channel slots, present or not.
    int GetTecChannelSlots() const { return m_channels.GetSlots(); }

    // --- forwarded to the selected channel ---
    bool SetMode(int mode) override;
    void ResetTecState() override;
    int ParseModeName(std::string_view name) const override;
    int GetMode(bool forceQuery = false) override;
    int GetSensorType(bool forceQuery = false, int sensor = -1) override;
    bool SetSensorType(int code, int sensor = -1) override;
    bool IsSensorTypeSupported(int code, int sensor = -1) override;
    int GetSensorCount() const override;
    uint32_t GetSupportedSensorMask(int sensor) override;
    int GetActiveSensor() const override;
    float GetT(bool averaged = false, int sensor = -1) override;
    float GetR(bool averaged = false, int sensor = -1) override;
    float GetITE(bool averaged = false) override;
    float GetV(bool averaged = false) override;
    // The selected channel's readings come from its own polls.
    bool IsFresh(TecReading reading, int sensor = -1) const override;
    bool SetSetPoint(float value) override;
    float GetSetPoint() override;
    bool ReadAllReadings() override;
    int GetPrecision(int quantity) const override;
    bool SetCableR(float ohms) override;
    float GetCableR() override;
    int GetCondition() override;
    bool SetConditionEnable(int mask) override;
    int GetConditionEnable() override;
    bool SetEventEnable(int mask) override;
    int GetEventEnable() override;
    bool SetOutputOffEnable(int mask) override;
    int GetOutputOffEnable() override;
    int GetEventRegister() override;
    bool SetITE(float amps) override;
    float GetITESetPoint() override;
    bool SetITELimit(float amps) override;
    float GetITELimit() override;
    float GetMaxITELimit() override;
    float GetMaxITEFromStore() override;
    bool SetR(float value) override;
    float GetRSetPoint() override;
    bool SetRLowLimit(float value) override;
    float GetRLowLimit() override;
    bool SetRHighLimit(float value) override;
    float GetRHighLimit() override;
    double GetMinR(int sensorType) override;
    double GetMaxR(int sensorType) override;
    std::string GetRUnits(int sensorType) override;
    bool SetT(float celsius) override;
    bool IsTSetPointLocked() override;
    float GetTSetPoint() override;
    bool SetTLowLimit(float celsius, int sensor = -1) override;
    float GetTLowLimit(int sensor = -1) override;
    float GetMinT() override;
    float GetMaxT() override;
    bool SetTHighLimit(float celsius, int sensor = -1) override;
    float GetTHighLimit(int sensor = -1) override;
    bool SetOutput(bool on) override;
    bool GetOutput(bool forceQuery = false) override;
    int GetStatusByte() override;
    bool IsAnalogEnabled() override;
    bool GetAnalogEnable(bool& enabled) override;
    bool SetAnalogEnable(bool enabled) override;
    bool GetAnalogSensitivity(int& index) override;
    bool SetAnalogSensitivity(int index) override;
    bool GetAnalogTsetAt0V(double& celsius) override;
    bool SetAnalogTsetAt0V(double celsius) override;
    bool GetAnalogTsetAt2V5(double& celsius) override;
    bool SetAnalogTsetAt2V5(double celsius) override;
    bool SetTolerance(float celsius, float seconds) override;
    bool GetTolerance(float& celsius, float& seconds) override;
    bool SetGain(int gain) override;
    int GetGain() override;
    bool SetPID(float p, float i, float d) override;
    bool GetPID(float& p, float& i, float& d) override;
    bool SetThermistorConstants(int sensor, float a, float b, float c) override;
    bool GetThermistorConstants(int sensor, float& a, float& b, float& c) override;
    bool SetRTDConstants(int sensor, float a, float b, float c, float r0) override;
    bool GetRTDConstants(int sensor, float& a, float& b, float& c, float& r0) override;
    bool SetICConstants(int set, float m, float b) override;
    bool GetICConstants(int set, float& m, float& b) override;
    bool SetFan(int mode, float voltage, int first, int second) override;
    bool GetFan(TecProtocol::SFanSetting& fan) override;
    bool IsFanSupported() override;
    bool HasHeatCool() override;
    bool SetHeatCool(int code) override;
    int GetHeatCool() override;
    bool SupportsCableR() override;
    bool HasCapability82() override;
    bool HasCapability83() override;
    bool HasCapability84() override;
    bool HasCapability85() override;
    bool HasCapability86() override;
    bool HasCapability105() override;
    bool IsSettingHidden(uint32_t key) override;
    bool IsAutoTuneSupported() override;
    bool StartAutoTune(float setPoint) override;
    bool CancelAutoTune() override;
    int GetAutoTuneState() override;
    int GetAutoTuneResult() override;

    // --- session parts: these run for every present channel ---
    bool HasTECChannel() const override;
    bool PollHook1(uint64_t pollFlags) override;
    bool PollHook2(uint64_t pollFlags) override;
    bool PollHook3(uint64_t pollFlags) override;
    void ProcessPending() override;
    int GetErrorCount() const override;
    // Indexes the unit's list, then each channel's, as GetErrorCount counts them.
    CErrorMsg GetError(int index, bool remove) override;
    void ClearErrors() override;
    void ClearUserFlag() override;
    // The base identification only: the parent has no TEC channel of its own to read back.
    bool Identify(bool force) override;
    // Opens the shared connection, identifies, discovers the channels.
    bool Connect(const std::string& descriptor) override;
    void Disconnect() override;

protected:
    // Model constructors add their channels in channel order; the first gets number 1.
    void AddTecChannel(std::unique_ptr<Channel> channel);
    // Asks each slot "TEC:CHAN %d;TEC:CHAN?" and keeps those answering their own number, compacted,
    // each given the parent's identity. Models whose channels are always fitted present them all.
    virtual void DiscoverTecChannels();
    // Every slot present, in channel order, each given the parent's identity; nothing is sent.
    void PresentAllTecChannels();
    void ForgetTecChannels();
    void ForEachTecChannel(const std::function<void(Channel&)>& visit) const;
    // Runs one of the session's poll hooks (1 to 3) on every present channel.
    void PollTecChannels(int hook, uint64_t pollFlags);
    // The channels' health folded into the parent's: the worst failedPolls, fresh values from any.
    void CollectTecChannelHealth(int& failedPolls, bool& fresh) const;
    int SumTecChannelErrors() const;
    std::vector<CInstrBase*> TecChannelList() const;

private:
    CChannelSet<Channel, MaxChannels> m_channels;
};
