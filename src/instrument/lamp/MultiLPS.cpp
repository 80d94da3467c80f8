#include "instrument/lamp/MultiLPS.h"

#include "instrument/multi/MultiChannelConnect.h"

CMultiLPS::CMultiLPS()
{
    CSerialMulti& shared = InstallSharedPort(*this);
    for (int i = 0; i < MaxChannels; ++i)
    {
        auto channel = std::make_unique<Channel>();
        channel->SetLaserChannelNumber(i + 1);
        m_channels.Add(std::move(channel), this, shared);
    }
}

CMultiLPS::~CMultiLPS()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
}

// ---------------------------------------------------------------------------------------------------
// Selection

void CMultiLPS::SelectChannel(int index)
{
    m_channels.Select(index);
}

int CMultiLPS::GetSelectedChannel() const
{
    return m_channels.GetSelected();
}

CLPS* CMultiLPS::GetSelectedChannelObject() const
{
    return m_channels.GetSelectedObject();
}

CLPS* CMultiLPS::GetChannelObject(int index) const
{
    return m_channels.Get(index);
}

// ---------------------------------------------------------------------------------------------------
// Forwarded to the selected channel

int CMultiLPS::GetPrecision(int mode) const
{
    return Forward([mode](CLPS& channel) { return channel.GetPrecision(mode); }, 1);
}

bool CMultiLPS::SetMode(int mode)
{
    return Forward([&](CLPS& channel) { return channel.SetMode(mode); }, false);
}

int CMultiLPS::GetMode(bool forceQuery)
{
    return Forward([&](CLPS& channel) { return channel.GetMode(forceQuery); }, 0);
}

bool CMultiLPS::IsFresh(LaserPollItem item) const
{
    return Forward([&](CLPS& channel) { return channel.IsFresh(item); }, false);
}

float CMultiLPS::GetLDI(bool averaged)
{
    return Forward([&](CLPS& channel) { return channel.GetLDI(averaged); }, 0.0f);
}

float CMultiLPS::GetLDV(bool averaged)
{
    return Forward([&](CLPS& channel) { return channel.GetLDV(averaged); }, 0.0f);
}

float CMultiLPS::GetVBulk()
{
    return Forward([](CLPS& channel) { return channel.GetVBulk(); }, 0.0f);
}

bool CMultiLPS::ReadAllReadings()
{
    return Forward([](CLPS& channel) { return channel.ReadAllReadings(); }, false);
}

bool CMultiLPS::SetSetPoint(double value)
{
    return Forward([&](CLPS& channel) { return channel.SetSetPoint(value); }, false);
}

float CMultiLPS::GetSetPoint()
{
    return Forward([](CLPS& channel) { return channel.GetSetPoint(); }, 0.0f);
}

bool CMultiLPS::SetSetPointPrecise(int quantity, double value)
{
    return Forward([&](CLPS& channel) { return channel.SetSetPointPrecise(quantity, value); }, false);
}

float CMultiLPS::GetLDIDirect()
{
    return Forward([](CLPS& channel) { return channel.GetLDIDirect(); }, 0.0f);
}

bool CMultiLPS::SetLDI(double amps)
{
    return Forward([&](CLPS& channel) { return channel.SetLDI(amps); }, false);
}

float CMultiLPS::GetLDISetPoint()
{
    return Forward([](CLPS& channel) { return channel.GetLDISetPoint(); }, 0.0f);
}

bool CMultiLPS::SetLDILimit(double amps)
{
    return Forward([&](CLPS& channel) { return channel.SetLDILimit(amps); }, false);
}

float CMultiLPS::GetLDILimit()
{
    return Forward([](CLPS& channel) { return channel.GetLDILimit(); }, 0.0f);
}

bool CMultiLPS::SetCurrentRate(double ampsPerSecond)
{
    return Forward([&](CLPS& channel) { return channel.SetCurrentRate(ampsPerSecond); }, false);
}

float CMultiLPS::GetCurrentRate()
{
    return Forward([](CLPS& channel) { return channel.GetCurrentRate(); }, 0.0f);
}

float CMultiLPS::GetLDVDirect()
{
    return Forward([](CLPS& channel) { return channel.GetLDVDirect(); }, 0.0f);
}

bool CMultiLPS::SetLDV(double volts)
{
    return Forward([&](CLPS& channel) { return channel.SetLDV(volts); }, false);
}

float CMultiLPS::GetLDVSetPoint()
{
    return Forward([](CLPS& channel) { return channel.GetLDVSetPoint(); }, 0.0f);
}

bool CMultiLPS::SetLDVLimit(double volts)
{
    return Forward([&](CLPS& channel) { return channel.SetLDVLimit(volts); }, false);
}

float CMultiLPS::GetLDVLimit()
{
    return Forward([](CLPS& channel) { return channel.GetLDVLimit(); }, 0.0f);
}

bool CMultiLPS::SetVSense(bool on)
{
    return Forward([&](CLPS& channel) { return channel.SetVSense(on); }, false);
}

bool CMultiLPS::GetVSense()
{
    return Forward([](CLPS& channel) { return channel.GetVSense(); }, false);
}

bool CMultiLPS::SetVoltageRate(double voltsPerSecond)
{
    return Forward([&](CLPS& channel) { return channel.SetVoltageRate(voltsPerSecond); }, false);
}

float CMultiLPS::GetVoltageRate()
{
    return Forward([](CLPS& channel) { return channel.GetVoltageRate(); }, 0.0f);
}

bool CMultiLPS::SetOutput(bool on)
{
    return Forward([&](CLPS& channel) { return channel.SetOutput(on); }, false);
}

bool CMultiLPS::GetOutput(bool forceQuery)
{
    return Forward([&](CLPS& channel) { return channel.GetOutput(forceQuery); }, false);
}

bool CMultiLPS::SetCableR(double ohms)
{
    return Forward([&](CLPS& channel) { return channel.SetCableR(ohms); }, false);
}

float CMultiLPS::GetCableR()
{
    return Forward([](CLPS& channel) { return channel.GetCableR(); }, 0.0f);
}

uint16_t CMultiLPS::GetConditionRegister()
{
    return Forward([](CLPS& channel) { return channel.GetConditionRegister(); }, uint16_t{0});
}

bool CMultiLPS::SetConditionEnable(uint16_t mask)
{
    return Forward([&](CLPS& channel) { return channel.SetConditionEnable(mask); }, false);
}

uint16_t CMultiLPS::GetConditionEnable()
{
    return Forward([](CLPS& channel) { return channel.GetConditionEnable(); }, uint16_t{0});
}

bool CMultiLPS::SetEventEnable(uint16_t mask)
{
    return Forward([&](CLPS& channel) { return channel.SetEventEnable(mask); }, false);
}

uint16_t CMultiLPS::GetEventEnable()
{
    return Forward([](CLPS& channel) { return channel.GetEventEnable(); }, uint16_t{0});
}

bool CMultiLPS::SetOutputOffEnable(int mask)
{
    return Forward([&](CLPS& channel) { return channel.SetOutputOffEnable(mask); }, false);
}

int CMultiLPS::GetOutputOffEnable()
{
    return Forward([](CLPS& channel) { return channel.GetOutputOffEnable(); }, 0);
}

uint16_t CMultiLPS::GetEventRegister()
{
    return Forward([](CLPS& channel) { return channel.GetEventRegister(); }, uint16_t{0});
}

int CMultiLPS::GetStatusByte()
{
    return Forward([](CLPS& channel) { return channel.GetStatusByte(); }, 0);
}

// ---------------------------------------------------------------------------------------------------
// Discovery, connection and the session parts over the channels

bool CMultiLPS::Identify(bool force)
{
    return CInstrBase::Identify(force);
}

bool CMultiLPS::Connect(const std::string& descriptor)
{
    if (!OpenSharedAndProbe(*this, descriptor) || !Identify(true))
    {
        Disconnect();
        return false;
    }
    m_channels.Discover(*this, "LPS", [](const Channel& channel) { return channel.GetLaserChannelNumber(); });
    AddErrorsFromReply(Query("ERR?\n"), 0);
    return true;
}

void CMultiLPS::Disconnect()
{
    CInstrBase::Disconnect();
    m_channels.ForEachSlot(
        [](Channel& channel)
        {
            channel.ForgetIdentity();
            channel.ResetLaserState();
        });
    m_channels.ClearPresent();
}

void CMultiLPS::GoLocal()
{
    Command("LPS:CHAN 1;LOCAL", false);
}

bool CMultiLPS::HasLaserChannel() const
{
    return m_channels.GetCount() != 0;
}

std::string CMultiLPS::GetCommandPrefix() const
{
    // Each channel sends its own prefix; the unit as a whole sends none.
    return {};
}

bool CMultiLPS::PollHook1(uint64_t pollFlags)
{
    PollChannels(1, pollFlags);
    return true;
}

bool CMultiLPS::PollHook2(uint64_t pollFlags)
{
    PollChannels(2, pollFlags);
    return true;
}

bool CMultiLPS::PollHook3(uint64_t pollFlags)
{
    PollChannels(3, pollFlags);
    int failedPolls = 0;
    bool fresh = false;
    m_channels.CollectHealth(failedPolls, fresh);
    SetFailedPolls(failedPolls);
    if (fresh)
        m_userFlag.store(true);
    return true;
}

void CMultiLPS::PollChannels(int hook, uint64_t pollFlags)
{
    m_channels.Poll(*this, hook,
                    [pollFlags](const Channel& channel) { return channel.GetPollFlags() | pollFlags; });
}

void CMultiLPS::ProcessPending()
{
    CInstrBase::ProcessPending();
    m_channels.ProcessPending();
}

int CMultiLPS::GetErrorCount() const
{
    return CInstrBase::GetErrorCount() + m_channels.SumErrors();
}

CErrorMsg CMultiLPS::GetError(int index, bool remove)
{
    const int own = CInstrBase::GetErrorCount();
    if (index < own)
        return CInstrBase::GetError(index, remove);
    return m_channels.GetError(index - own, remove);
}

void CMultiLPS::ClearErrors()
{
    CInstrBase::ClearErrors();
    m_channels.ClearErrors();
}

void CMultiLPS::ClearUserFlag()
{
    CInstrBase::ClearUserFlag();
    m_channels.ClearUserFlag();
}
