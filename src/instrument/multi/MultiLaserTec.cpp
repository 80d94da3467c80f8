#include "instrument/multi/MultiLaserTec.h"

#include "instrument/multi/MultiChannelConnect.h"

#include <memory>
#include <vector>

CMultiLaserTec::CMultiLaserTec(int laserSlots, int tecSlots)
{
    for (int i = 0; i < laserSlots; ++i)
        AddLaserChannel(std::make_unique<CMultiLaser::Channel>());
    for (int i = 0; i < tecSlots; ++i)
        AddTecChannel(std::make_unique<CMultiTec::Channel>());
}

CMultiLaserTec::~CMultiLaserTec()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
}

std::string CMultiLaserTec::GetCommandPrefix() const
{
    return {};
}

bool CMultiLaserTec::PollHook1(uint64_t pollFlags)
{
    PollTecChannels(1, pollFlags);
    PollLaserChannels(1, pollFlags);
    return true;
}

bool CMultiLaserTec::PollHook2(uint64_t pollFlags)
{
    PollTecChannels(2, pollFlags);
    PollLaserChannels(2, pollFlags);
    return true;
}

bool CMultiLaserTec::PollHook3(uint64_t pollFlags)
{
    PollTecChannels(3, pollFlags);
    PollLaserChannels(3, pollFlags);
    int failedPolls = 0;
    bool fresh = false;
    CollectTecChannelHealth(failedPolls, fresh);
    CollectLaserChannelHealth(failedPolls, fresh);
    SetFailedPolls(failedPolls);
    if (fresh)
        m_userFlag.store(true);
    return true;
}

void CMultiLaserTec::ProcessPending()
{
    CInstrBase::ProcessPending();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ProcessPending(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ProcessPending(); });
}

int CMultiLaserTec::GetErrorCount() const
{
    return CInstrBase::GetErrorCount() + SumLaserChannelErrors() + SumTecChannelErrors();
}

CErrorMsg CMultiLaserTec::GetError(int index, bool remove)
{
    const int own = CInstrBase::GetErrorCount();
    if (index < own)
        return CInstrBase::GetError(index, remove);
    std::vector<CInstrBase*> channels = LaserChannelList();
    const std::vector<CInstrBase*> tecs = TecChannelList();
    channels.insert(channels.end(), tecs.begin(), tecs.end());
    return ChannelError(channels, index - own, remove);
}

void CMultiLaserTec::ClearErrors()
{
    CInstrBase::ClearErrors();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ClearErrors(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ClearErrors(); });
}

void CMultiLaserTec::ClearUserFlag()
{
    CInstrBase::ClearUserFlag();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ClearUserFlag(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ClearUserFlag(); });
}

bool CMultiLaserTec::Identify(bool force)
{
    return CInstrBase::Identify(force);
}

bool CMultiLaserTec::Connect(const std::string& descriptor)
{
    if (!OpenSharedAndProbe(*this, descriptor) || !Identify(true))
    {
        Disconnect();
        return false;
    }
    DiscoverLaserChannels();
    DiscoverTecChannels();
    PrepareChannels();
    AddErrorsFromReply(Query("ERR?\n"), 0);
    return true;
}

void CMultiLaserTec::PrepareChannels() {}

void CMultiLaserTec::Disconnect()
{
    CInstrBase::Disconnect();
    ForgetLaserChannels();
    ForgetTecChannels();
}
