#include "instrument/multi/MultiTec.h"

#include "instrument/multi/MultiChannelConnect.h"

#include <string>

CMultiTec::CMultiTec()
{
    InstallSharedPort(*this);
}

CMultiTec::~CMultiTec()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
}

void CMultiTec::AddTecChannel(std::unique_ptr<Channel> channel)
{
    channel->SetChannelNumber(m_channels.GetSlots() + 1);
    m_channels.Add(std::move(channel), this, InstallSharedPort(*this));
}

// ---------------------------------------------------------------------------------------------------
// Selection

void CMultiTec::SelectChannel(int index)
{
    m_channels.Select(index);
}

int CMultiTec::GetSelectedChannel() const
{
    return m_channels.GetSelected();
}

CTEC* CMultiTec::GetSelectedChannelObject() const
{
    return m_channels.GetSelectedObject();
}

CTEC* CMultiTec::GetChannelObject(int index) const
{
    return m_channels.Get(index);
}

// ---------------------------------------------------------------------------------------------------
// Discovery and connection

void CMultiTec::DiscoverTecChannels()
{
    m_channels.Discover(*this, "TEC", [](const Channel& channel) { return channel.GetChannelNumber(); });
}

void CMultiTec::PresentAllTecChannels()
{
    m_channels.PresentAll(*this);
}

void CMultiTec::ForgetTecChannels()
{
    m_channels.ForEachSlot(
        [](Channel& channel)
        {
            channel.ForgetIdentity();
            channel.ResetTecState();
        });
}

bool CMultiTec::Identify(bool force)
{
    return CInstrBase::Identify(force);
}

bool CMultiTec::Connect(const std::string& descriptor)
{
    if (!OpenSharedAndProbe(*this, descriptor) || !Identify(true))
    {
        Disconnect();
        return false;
    }
    DiscoverTecChannels();
    AddErrorsFromReply(Query("ERR?\n"), 0);
    return true;
}

void CMultiTec::Disconnect()
{
    CInstrBase::Disconnect();
    ForgetTecChannels();
}

// ---------------------------------------------------------------------------------------------------
// Session parts over the channels

void CMultiTec::ForEachTecChannel(const std::function<void(Channel&)>& visit) const
{
    m_channels.ForEach(visit);
}

void CMultiTec::PollTecChannels(int hook, uint64_t pollFlags)
{
    m_channels.Poll(*this, hook, [pollFlags](const Channel&) { return pollFlags; });
}

void CMultiTec::CollectTecChannelHealth(int& failedPolls, bool& fresh) const
{
    m_channels.CollectHealth(failedPolls, fresh);
}

bool CMultiTec::HasTECChannel() const
{
    return m_channels.GetCount() != 0;
}

bool CMultiTec::PollHook1(uint64_t pollFlags)
{
    PollTecChannels(1, pollFlags);
    return true;
}

bool CMultiTec::PollHook2(uint64_t pollFlags)
{
    PollTecChannels(2, pollFlags);
    return true;
}

bool CMultiTec::PollHook3(uint64_t pollFlags)
{
    PollTecChannels(3, pollFlags);
    int failedPolls = 0;
    bool fresh = false;
    CollectTecChannelHealth(failedPolls, fresh);
    SetFailedPolls(failedPolls);
    if (fresh)
        m_userFlag.store(true);
    return true;
}

void CMultiTec::ProcessPending()
{
    CInstrBase::ProcessPending();
    m_channels.ProcessPending();
}

int CMultiTec::SumTecChannelErrors() const
{
    return m_channels.SumErrors();
}

std::vector<CInstrBase*> CMultiTec::TecChannelList() const
{
    return m_channels.List();
}

CErrorMsg CMultiTec::GetError(int index, bool remove)
{
    const int own = CInstrBase::GetErrorCount();
    if (index < own)
        return CInstrBase::GetError(index, remove);
    return m_channels.GetError(index - own, remove);
}

int CMultiTec::GetErrorCount() const
{
    return CInstrBase::GetErrorCount() + m_channels.SumErrors();
}

void CMultiTec::ClearErrors()
{
    CInstrBase::ClearErrors();
    m_channels.ClearErrors();
}

void CMultiTec::ClearUserFlag()
{
    CInstrBase::ClearUserFlag();
    m_channels.ClearUserFlag();
}

// ---------------------------------------------------------------------------------------------------
// Forwarded to the selected channel

bool CMultiTec::SetMode(int mode)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetMode(mode);
    return {};
}

void CMultiTec::ResetTecState()
{
    if (CTEC* channel = GetSelectedChannelObject())
        channel->ResetTecState();
}

int CMultiTec::ParseModeName(std::string_view name) const
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->ParseModeName(name);
    return {};
}

int CMultiTec::GetMode(bool forceQuery)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetMode(forceQuery);
    return {};
}

int CMultiTec::GetSensorType(bool forceQuery, int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetSensorType(forceQuery, sensor);
    return {};
}

bool CMultiTec::SetSensorType(int code, int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetSensorType(code, sensor);
    return {};
}

bool CMultiTec::IsSensorTypeSupported(int code, int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->IsSensorTypeSupported(code, sensor);
    return {};
}

int CMultiTec::GetSensorCount() const
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetSensorCount();
    return {};
}

uint32_t CMultiTec::GetSupportedSensorMask(int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetSupportedSensorMask(sensor);
    return {};
}

int CMultiTec::GetActiveSensor() const
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetActiveSensor();
    return {};
}

float CMultiTec::GetT(bool averaged, int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetT(averaged, sensor);
    return {};
}

float CMultiTec::GetR(bool averaged, int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetR(averaged, sensor);
    return {};
}

float CMultiTec::GetITE(bool averaged)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetITE(averaged);
    return {};
}

bool CMultiTec::IsFresh(TecReading reading, int sensor) const
{
    const CTEC* channel = GetSelectedChannelObject();
    return channel && channel->IsFresh(reading, sensor);
}

float CMultiTec::GetV(bool averaged)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetV(averaged);
    return {};
}

bool CMultiTec::SetSetPoint(float value)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetSetPoint(value);
    return {};
}

float CMultiTec::GetSetPoint()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetSetPoint();
    return {};
}

bool CMultiTec::ReadAllReadings()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->ReadAllReadings();
    return {};
}

int CMultiTec::GetPrecision(int quantity) const
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetPrecision(quantity);
    return {};
}

bool CMultiTec::SetCableR(float ohms)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetCableR(ohms);
    return {};
}

float CMultiTec::GetCableR()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetCableR();
    return {};
}

int CMultiTec::GetCondition()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetCondition();
    return {};
}

bool CMultiTec::SetConditionEnable(int mask)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetConditionEnable(mask);
    return {};
}

int CMultiTec::GetConditionEnable()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetConditionEnable();
    return {};
}

bool CMultiTec::SetEventEnable(int mask)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetEventEnable(mask);
    return {};
}

int CMultiTec::GetEventEnable()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetEventEnable();
    return {};
}

bool CMultiTec::SetOutputOffEnable(int mask)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetOutputOffEnable(mask);
    return {};
}

int CMultiTec::GetOutputOffEnable()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetOutputOffEnable();
    return {};
}

int CMultiTec::GetEventRegister()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetEventRegister();
    return {};
}

bool CMultiTec::SetITE(float amps)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetITE(amps);
    return {};
}

float CMultiTec::GetITESetPoint()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetITESetPoint();
    return {};
}

bool CMultiTec::SetITELimit(float amps)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetITELimit(amps);
    return {};
}

float CMultiTec::GetITELimit()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetITELimit();
    return {};
}

float CMultiTec::GetMaxITELimit()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetMaxITELimit();
    return {};
}

float CMultiTec::GetMaxITEFromStore()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetMaxITEFromStore();
    return {};
}

bool CMultiTec::SetR(float value)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetR(value);
    return {};
}

float CMultiTec::GetRSetPoint()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetRSetPoint();
    return {};
}

bool CMultiTec::SetRLowLimit(float value)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetRLowLimit(value);
    return {};
}

float CMultiTec::GetRLowLimit()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetRLowLimit();
    return {};
}

bool CMultiTec::SetRHighLimit(float value)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetRHighLimit(value);
    return {};
}

float CMultiTec::GetRHighLimit()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetRHighLimit();
    return {};
}

double CMultiTec::GetMinR(int sensorType)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetMinR(sensorType);
    return {};
}

double CMultiTec::GetMaxR(int sensorType)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetMaxR(sensorType);
    return {};
}

std::string CMultiTec::GetRUnits(int sensorType)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetRUnits(sensorType);
    return {};
}

bool CMultiTec::SetT(float celsius)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetT(celsius);
    return {};
}

bool CMultiTec::IsTSetPointLocked()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->IsTSetPointLocked();
    return {};
}

float CMultiTec::GetTSetPoint()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetTSetPoint();
    return {};
}

bool CMultiTec::SetTLowLimit(float celsius, int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetTLowLimit(celsius, sensor);
    return {};
}

float CMultiTec::GetTLowLimit(int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetTLowLimit(sensor);
    return {};
}

float CMultiTec::GetMinT()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetMinT();
    return {};
}

float CMultiTec::GetMaxT()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetMaxT();
    return {};
}

bool CMultiTec::SetTHighLimit(float celsius, int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetTHighLimit(celsius, sensor);
    return {};
}

float CMultiTec::GetTHighLimit(int sensor)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetTHighLimit(sensor);
    return {};
}

bool CMultiTec::SetOutput(bool on)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetOutput(on);
    return {};
}

bool CMultiTec::GetOutput(bool forceQuery)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetOutput(forceQuery);
    return {};
}

int CMultiTec::GetStatusByte()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetStatusByte();
    return {};
}

bool CMultiTec::IsAnalogEnabled()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->IsAnalogEnabled();
    return {};
}

bool CMultiTec::GetAnalogEnable(bool& enabled)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetAnalogEnable(enabled);
    return {};
}

bool CMultiTec::SetAnalogEnable(bool enabled)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetAnalogEnable(enabled);
    return {};
}

bool CMultiTec::GetAnalogSensitivity(int& index)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetAnalogSensitivity(index);
    return {};
}

bool CMultiTec::SetAnalogSensitivity(int index)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetAnalogSensitivity(index);
    return {};
}

bool CMultiTec::GetAnalogTsetAt0V(double& celsius)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetAnalogTsetAt0V(celsius);
    return {};
}

bool CMultiTec::SetAnalogTsetAt0V(double celsius)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetAnalogTsetAt0V(celsius);
    return {};
}

bool CMultiTec::GetAnalogTsetAt2V5(double& celsius)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetAnalogTsetAt2V5(celsius);
    return {};
}

bool CMultiTec::SetAnalogTsetAt2V5(double celsius)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetAnalogTsetAt2V5(celsius);
    return {};
}

bool CMultiTec::SetTolerance(float celsius, float seconds)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetTolerance(celsius, seconds);
    return {};
}

bool CMultiTec::GetTolerance(float& celsius, float& seconds)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetTolerance(celsius, seconds);
    return {};
}

bool CMultiTec::SetGain(int gain)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetGain(gain);
    return {};
}

int CMultiTec::GetGain()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetGain();
    return {};
}

bool CMultiTec::SetPID(float p, float i, float d)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetPID(p, i, d);
    return {};
}

bool CMultiTec::GetPID(float& p, float& i, float& d)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetPID(p, i, d);
    return {};
}

bool CMultiTec::SetThermistorConstants(int sensor, float a, float b, float c)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetThermistorConstants(sensor, a, b, c);
    return {};
}

bool CMultiTec::GetThermistorConstants(int sensor, float& a, float& b, float& c)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetThermistorConstants(sensor, a, b, c);
    return {};
}

bool CMultiTec::SetRTDConstants(int sensor, float a, float b, float c, float r0)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetRTDConstants(sensor, a, b, c, r0);
    return {};
}

bool CMultiTec::GetRTDConstants(int sensor, float& a, float& b, float& c, float& r0)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetRTDConstants(sensor, a, b, c, r0);
    return {};
}

bool CMultiTec::SetICConstants(int set, float m, float b)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetICConstants(set, m, b);
    return {};
}

bool CMultiTec::GetICConstants(int set, float& m, float& b)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetICConstants(set, m, b);
    return {};
}

bool CMultiTec::SetFan(int mode, float voltage, int first, int second)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetFan(mode, voltage, first, second);
    return {};
}

bool CMultiTec::GetFan(TecProtocol::SFanSetting& fan)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetFan(fan);
    return {};
}

bool CMultiTec::IsFanSupported()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->IsFanSupported();
    return {};
}

bool CMultiTec::HasHeatCool()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->HasHeatCool();
    return {};
}

bool CMultiTec::SetHeatCool(int code)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SetHeatCool(code);
    return {};
}

int CMultiTec::GetHeatCool()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetHeatCool();
    return {};
}

bool CMultiTec::SupportsCableR()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->SupportsCableR();
    return {};
}

bool CMultiTec::HasCapability82()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->HasCapability82();
    return {};
}

bool CMultiTec::HasCapability83()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->HasCapability83();
    return {};
}

bool CMultiTec::HasCapability84()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->HasCapability84();
    return {};
}

bool CMultiTec::HasCapability85()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->HasCapability85();
    return {};
}

bool CMultiTec::HasCapability86()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->HasCapability86();
    return {};
}

bool CMultiTec::HasCapability105()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->HasCapability105();
    return {};
}

bool CMultiTec::IsSettingHidden(uint32_t key)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->IsSettingHidden(key);
    return {};
}

bool CMultiTec::IsAutoTuneSupported()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->IsAutoTuneSupported();
    return {};
}

bool CMultiTec::StartAutoTune(float setPoint)
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->StartAutoTune(setPoint);
    return {};
}

bool CMultiTec::CancelAutoTune()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->CancelAutoTune();
    return {};
}

int CMultiTec::GetAutoTuneState()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetAutoTuneState();
    return {};
}

int CMultiTec::GetAutoTuneResult()
{
    if (CTEC* channel = GetSelectedChannelObject())
        return channel->GetAutoTuneResult();
    return {};
}
