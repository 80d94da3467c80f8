#include "instrument/M607.h"

#include "instrument/MultiChannelConnect.h"

#include <memory>
#include <vector>

CM607::CM607()
{
    for (int i = 0; i < ChannelSlotsPerSide; ++i)
    {
        AddLaserChannel(std::make_unique<CMultiLaser::Channel>());
        AddTecChannel(std::make_unique<CMultiTec::Channel>());
    }
}

CM607::~CM607()
{
    // Both sides' channels go before their bases' destructors run: the poll thread must be gone first.
    StopBackgroundThread(DisconnectStopTimeoutMs);
}

bool CM607::IsInstrumentType(int type) const
{
    return type == 3;
}

std::string CM607::GetCommandPrefix() const
{
    return {};
}

bool CM607::PollHook1(uint64_t pollFlags)
{
    PollTecChannels(1, pollFlags);
    PollLaserChannels(1, pollFlags);
    return true;
}

bool CM607::PollHook2(uint64_t pollFlags)
{
    PollTecChannels(2, pollFlags);
    PollLaserChannels(2, pollFlags);
    return true;
}

bool CM607::PollHook3(uint64_t pollFlags)
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

void CM607::ProcessPending()
{
    CInstrBase::ProcessPending();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ProcessPending(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ProcessPending(); });
}

int CM607::GetErrorCount() const
{
    return CInstrBase::GetErrorCount() + SumLaserChannelErrors() + SumTecChannelErrors();
}

CErrorMsg CM607::GetError(int index, bool remove)
{
    const int own = CInstrBase::GetErrorCount();
    if (index < own)
        return CInstrBase::GetError(index, remove);
    std::vector<CInstrBase*> channels = LaserChannelList();
    const std::vector<CInstrBase*> tecs = TecChannelList();
    channels.insert(channels.end(), tecs.begin(), tecs.end());
    return ChannelError(channels, index - own, remove);
}

void CM607::ClearErrors()
{
    CInstrBase::ClearErrors();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ClearErrors(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ClearErrors(); });
}

void CM607::ClearUserFlag()
{
    CInstrBase::ClearUserFlag();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ClearUserFlag(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ClearUserFlag(); });
}

bool CM607::Identify(bool force)
{
    return CInstrBase::Identify(force);
}

bool CM607::Connect(const std::string& descriptor)
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

void CM607::PrepareChannels()
{
    // The M607's TEC channels run the instrument's PID autotune.
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.SetAutoTuneSupported(true); });
}

void CM607::Disconnect()
{
    CInstrBase::Disconnect();
    ForgetLaserChannels();
    ForgetTecChannels();
}
