#include "instrument/multi/MultiLaser.h"

#include "instrument/multi/MultiChannelConnect.h"

#include <string>

CMultiLaser::CMultiLaser()
{
    InstallSharedPort(*this);
}

CMultiLaser::~CMultiLaser()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
}

void CMultiLaser::AddLaserChannel(std::unique_ptr<Channel> channel)
{
    channel->SetLaserChannelNumber(m_channels.GetSlots() + 1);
    m_channels.Add(std::move(channel), this, InstallSharedPort(*this));
}

// ---------------------------------------------------------------------------------------------------
// Selection

void CMultiLaser::SelectChannel(int index)
{
    m_channels.Select(index);
}

int CMultiLaser::GetSelectedChannel() const
{
    return m_channels.GetSelected();
}

CLaser* CMultiLaser::GetSelectedChannelObject() const
{
    return m_channels.GetSelectedObject();
}

CLaser* CMultiLaser::GetChannelObject(int index) const
{
    return m_channels.Get(index);
}

// ---------------------------------------------------------------------------------------------------
// Discovery and connection

void CMultiLaser::DiscoverLaserChannels()
{
    m_channels.Discover(*this, "LAS", [](const Channel& channel) { return channel.GetLaserChannelNumber(); });
}

void CMultiLaser::PresentAllLaserChannels()
{
    m_channels.PresentAll(*this);
}

void CMultiLaser::ForgetLaserChannels()
{
    m_channels.ForEachSlot(
        [](Channel& channel)
        {
            channel.ForgetIdentity();
            channel.ResetLaserState();
        });
}

bool CMultiLaser::Identify(bool force)
{
    return CInstrBase::Identify(force);
}

bool CMultiLaser::Connect(const std::string& descriptor)
{
    if (!OpenSharedAndProbe(*this, descriptor) || !Identify(true))
    {
        Disconnect();
        return false;
    }
    DiscoverLaserChannels();
    AddErrorsFromReply(Query("ERR?\n"), 0);
    return true;
}

void CMultiLaser::Disconnect()
{
    CInstrBase::Disconnect();
    ForgetLaserChannels();
}

// ---------------------------------------------------------------------------------------------------
// Session parts over the channels

void CMultiLaser::ForEachLaserChannel(const std::function<void(Channel&)>& visit) const
{
    m_channels.ForEach(visit);
}

void CMultiLaser::PollLaserChannels(int hook, uint64_t pollFlags)
{
    // Each channel adds its own selection (VPEAK on some models) to the parent's.
    m_channels.Poll(*this, hook,
                    [pollFlags](const Channel& channel) { return channel.GetPollFlags() | pollFlags; });
}

void CMultiLaser::CollectLaserChannelHealth(int& failedPolls, bool& fresh) const
{
    m_channels.CollectHealth(failedPolls, fresh);
}

bool CMultiLaser::HasLaserChannel() const
{
    return m_channels.GetCount() != 0;
}

bool CMultiLaser::PollHook1(uint64_t pollFlags)
{
    PollLaserChannels(1, pollFlags);
    return true;
}

bool CMultiLaser::PollHook2(uint64_t pollFlags)
{
    PollLaserChannels(2, pollFlags);
    return true;
}

bool CMultiLaser::PollHook3(uint64_t pollFlags)
{
    PollLaserChannels(3, pollFlags);
    int failedPolls = 0;
    bool fresh = false;
    CollectLaserChannelHealth(failedPolls, fresh);
    SetFailedPolls(failedPolls);
    if (fresh)
        m_userFlag.store(true);
    return true;
}

void CMultiLaser::ProcessPending()
{
    CInstrBase::ProcessPending();
    m_channels.ProcessPending();
}

int CMultiLaser::SumLaserChannelErrors() const
{
    return m_channels.SumErrors();
}

std::vector<CInstrBase*> CMultiLaser::LaserChannelList() const
{
    return m_channels.List();
}

CErrorMsg CMultiLaser::GetError(int index, bool remove)
{
    const int own = CInstrBase::GetErrorCount();
    if (index < own)
        return CInstrBase::GetError(index, remove);
    return m_channels.GetError(index - own, remove);
}

int CMultiLaser::GetErrorCount() const
{
    return CInstrBase::GetErrorCount() + m_channels.SumErrors();
}

void CMultiLaser::ClearErrors()
{
    CInstrBase::ClearErrors();
    m_channels.ClearErrors();
}

void CMultiLaser::ClearUserFlag()
{
    CInstrBase::ClearUserFlag();
    m_channels.ClearUserFlag();
}

// ---------------------------------------------------------------------------------------------------
// Forwarded to the selected channel

bool CMultiLaser::SetMode(int mode)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetMode(mode);
    return {};
}

int CMultiLaser::ParseModeName(std::string_view reply) const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->ParseModeName(reply);
    return {};
}

int CMultiLaser::GetMode(bool forceQuery)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMode(forceQuery);
    return {};
}

bool CMultiLaser::IsModeSupported(int mode) const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->IsModeSupported(mode);
    return {};
}

bool CMultiLaser::IsFresh(LaserPollItem item) const
{
    const CLaser* channel = GetSelectedChannelObject();
    return channel && channel->IsFresh(item);
}

float CMultiLaser::GetLDI(bool averaged)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLDI(averaged);
    return {};
}

float CMultiLaser::GetMDI(bool averaged)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMDI(averaged);
    return {};
}

float CMultiLaser::GetMDP(bool averaged)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMDP(averaged);
    return {};
}

float CMultiLaser::GetLDV(bool averaged)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLDV(averaged);
    return {};
}

float CMultiLaser::GetVPeak()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetVPeak();
    return {};
}

float CMultiLaser::GetVBulk()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetVBulk();
    return {};
}

bool CMultiLaser::ReadAllReadings()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->ReadAllReadings();
    return {};
}

bool CMultiLaser::SetSetPoint(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetSetPoint(value);
    return {};
}

float CMultiLaser::GetSetPoint()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetSetPoint();
    return {};
}

int CMultiLaser::GetPrecision(int mode) const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetPrecision(mode);
    return {};
}

bool CMultiLaser::SetSetPointPrecise(int quantity, double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetSetPointPrecise(quantity, value);
    return {};
}

float CMultiLaser::GetLDIDirect()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLDIDirect();
    return {};
}

bool CMultiLaser::SetLDI(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetLDI(value);
    return {};
}

float CMultiLaser::GetLDISetPoint()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLDISetPoint();
    return {};
}

bool CMultiLaser::SetLDILimit(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetLDILimit(value);
    return {};
}

float CMultiLaser::GetLDILimit()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLDILimit();
    return {};
}

float CMultiLaser::GetMaxLDILimit(bool rangeAware)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMaxLDILimit(rangeAware);
    return {};
}

float CMultiLaser::GetMaxLDISetPoint()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMaxLDISetPoint();
    return {};
}

float CMultiLaser::GetLDVDirect()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLDVDirect();
    return {};
}

bool CMultiLaser::SetLDV(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetLDV(value);
    return {};
}

float CMultiLaser::GetLDVSetPoint()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLDVSetPoint();
    return {};
}

bool CMultiLaser::SetLDVLimit(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetLDVLimit(value);
    return {};
}

float CMultiLaser::GetLDVLimit()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLDVLimit();
    return {};
}

float CMultiLaser::GetMaxLDVSetPoint()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMaxLDVSetPoint();
    return {};
}

float CMultiLaser::GetMaxLDVLimit()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMaxLDVLimit();
    return {};
}

bool CMultiLaser::SetVSense(bool on)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetVSense(on);
    return {};
}

bool CMultiLaser::GetVSense()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetVSense();
    return {};
}

bool CMultiLaser::IsVSenseSupported() const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->IsVSenseSupported();
    return {};
}

float CMultiLaser::GetMDIDirect()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMDIDirect();
    return {};
}

float CMultiLaser::GetMaxMDILimit()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMaxMDILimit();
    return {};
}

bool CMultiLaser::SetMDI(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetMDI(value);
    return {};
}

float CMultiLaser::GetMDISetPoint()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMDISetPoint();
    return {};
}

bool CMultiLaser::SetMDILimit(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetMDILimit(value);
    return {};
}

float CMultiLaser::GetMDILimit()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMDILimit();
    return {};
}

float CMultiLaser::GetMaxMDISetPoint()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMaxMDISetPoint();
    return {};
}

float CMultiLaser::GetMDPDirect()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMDPDirect();
    return {};
}

bool CMultiLaser::SetMDP(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetMDP(value);
    return {};
}

float CMultiLaser::GetMDPSetPoint()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMDPSetPoint();
    return {};
}

bool CMultiLaser::SetMDPLimit(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetMDPLimit(value);
    return {};
}

float CMultiLaser::GetMDPLimit()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMDPLimit();
    return {};
}

float CMultiLaser::GetMaxMDP()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetMaxMDP();
    return {};
}

bool CMultiLaser::SetOutput(bool on)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetOutput(on);
    return {};
}

bool CMultiLaser::GetOutput(bool forceQuery)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetOutput(forceQuery);
    return {};
}

bool CMultiLaser::SetOnDelay(int ms)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetOnDelay(ms);
    return {};
}

int CMultiLaser::GetOnDelay()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetOnDelay();
    return {};
}

bool CMultiLaser::SetCalMD(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetCalMD(value);
    return {};
}

float CMultiLaser::GetCalMD()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetCalMD();
    return {};
}

bool CMultiLaser::SetCableR(double ohms)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetCableR(ohms);
    return {};
}

float CMultiLaser::GetCableR()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetCableR();
    return {};
}

bool CMultiLaser::SetPDBias(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetPDBias(value);
    return {};
}

float CMultiLaser::GetPDBias()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetPDBias();
    return {};
}

bool CMultiLaser::SetTolerance(double tolerance, double timeSeconds)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetTolerance(tolerance, timeSeconds);
    return {};
}

bool CMultiLaser::GetTolerance(float& tolerance, float& timeSeconds)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetTolerance(tolerance, timeSeconds);
    return {};
}

bool CMultiLaser::HasConditionFeature() const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->HasConditionFeature();
    return {};
}

uint16_t CMultiLaser::GetConditionRegister()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetConditionRegister();
    return {};
}

bool CMultiLaser::SetConditionEnable(uint16_t mask)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetConditionEnable(mask);
    return {};
}

uint16_t CMultiLaser::GetConditionEnable()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetConditionEnable();
    return {};
}

bool CMultiLaser::SetEventEnable(uint16_t mask)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetEventEnable(mask);
    return {};
}

uint16_t CMultiLaser::GetEventEnable()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetEventEnable();
    return {};
}

bool CMultiLaser::SetOutputOffEnable(int mask)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetOutputOffEnable(mask);
    return {};
}

int CMultiLaser::GetOutputOffEnable()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetOutputOffEnable();
    return {};
}

uint16_t CMultiLaser::GetEventRegister()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetEventRegister();
    return {};
}

int CMultiLaser::GetStatusByte()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetStatusByte();
    return {};
}

bool CMultiLaser::IsQCWSupported() const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->IsQCWSupported();
    return {};
}

bool CMultiLaser::SetFrequency(double hz)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetFrequency(hz);
    return {};
}

float CMultiLaser::GetFrequency(bool forceQuery)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetFrequency(forceQuery);
    return {};
}

float CMultiLaser::GetPulseWidth(bool forceQuery)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetPulseWidth(forceQuery);
    return {};
}

bool CMultiLaser::SetPulseWidthF(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetPulseWidthF(value);
    return {};
}

bool CMultiLaser::SetPulseWidthP(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetPulseWidthP(value);
    return {};
}

bool CMultiLaser::SetDutyCycle(double percent)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetDutyCycle(percent);
    return {};
}

float CMultiLaser::GetDutyCycle()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetDutyCycle();
    return {};
}

bool CMultiLaser::SetDelayIn(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetDelayIn(value);
    return {};
}

float CMultiLaser::GetDelayIn()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetDelayIn();
    return {};
}

bool CMultiLaser::SetDelayOut(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetDelayOut(value);
    return {};
}

float CMultiLaser::GetDelayOut()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetDelayOut();
    return {};
}

int CMultiLaser::GetQCWCount()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetQCWCount();
    return {};
}

bool CMultiLaser::SetQCWCount(int count)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetQCWCount(count);
    return {};
}

bool CMultiLaser::GetPulseMinima(SPulseTiming& minima)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetPulseMinima(minima);
    return false;
}

bool CMultiLaser::GetPulseMaxima(SPulseTiming& maxima)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetPulseMaxima(maxima);
    return false;
}

bool CMultiLaser::GetQCWHold()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetQCWHold();
    return {};
}

bool CMultiLaser::SetQCWHold(bool on)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetQCWHold(on);
    return {};
}

bool CMultiLaser::SetQCWLow(double value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetQCWLow(value);
    return {};
}

float CMultiLaser::GetQCWLow()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetQCWLow();
    return {};
}

bool CMultiLaser::SetQCWLowMode(bool on)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetQCWLowMode(on);
    return {};
}

bool CMultiLaser::GetQCWLowMode()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetQCWLowMode();
    return {};
}

bool CMultiLaser::HasDualRange() const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->HasDualRange();
    return {};
}

int CMultiLaser::GetRange()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetRange();
    return {};
}

bool CMultiLaser::SetRange(int range)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetRange(range);
    return {};
}

bool CMultiLaser::HasExtendedFeatures() const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->HasExtendedFeatures();
    return {};
}

bool CMultiLaser::HasRemoteSetControl() const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->HasRemoteSetControl();
    return {};
}

bool CMultiLaser::GetLaserRemoteSet()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetLaserRemoteSet();
    return {};
}

bool CMultiLaser::SetLaserRemoteSet(bool on)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetLaserRemoteSet(on);
    return {};
}

bool CMultiLaser::GetFeatureFlag(uint32_t key) const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetFeatureFlag(key);
    return {};
}

bool CMultiLaser::GetModelFlag() const
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetModelFlag();
    return {};
}

bool CMultiLaser::GetFactoryFlag()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetFactoryFlag();
    return {};
}

bool CMultiLaser::ResendStoredSettings()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->ResendStoredSettings();
    return {};
}

bool CMultiLaser::SendFactoryDacLine1()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SendFactoryDacLine1();
    return {};
}

bool CMultiLaser::SendFactoryDacLine2()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SendFactoryDacLine2();
    return {};
}

bool CMultiLaser::ResendLimits()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->ResendLimits();
    return {};
}

bool CMultiLaser::ResendLDILimit()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->ResendLDILimit();
    return {};
}

bool CMultiLaser::ResendLDVLimit()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->ResendLDVLimit();
    return {};
}

bool CMultiLaser::StartFactoryCalibration(int step)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->StartFactoryCalibration(step);
    return {};
}

float CMultiLaser::QueryFactoryCalibration(int step)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->QueryFactoryCalibration(step);
    return {};
}

bool CMultiLaser::CancelFactoryCalibration()
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->CancelFactoryCalibration();
    return {};
}

bool CMultiLaser::GetStoredPulseValues(int set, std::array<float, 3>& values)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetStoredPulseValues(set, values);
    return {};
}

std::optional<float> CMultiLaser::GetStoredValue(StoredValue key)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->GetStoredValue(key);
    return {};
}

bool CMultiLaser::SetStoredValue(StoredValue key, float value)
{
    if (CLaser* channel = GetSelectedChannelObject())
        return channel->SetStoredValue(key, value);
    return {};
}
