#include "instrument/Norlase.h"

#include "instrument/MultiChannelConnect.h"

#include <memory>
#include <vector>

namespace
{
constexpr int kActiveSensor = -1;
} // namespace

CNorlase::CNorlase()
{
    for (int i = 0; i < LaserSlots; ++i)
        AddLaserChannel(std::make_unique<CMultiLaser::Channel>());
    for (int i = 0; i < TecSlots; ++i)
        AddTecChannel(std::make_unique<CMultiTec::Channel>());
}

CNorlase::~CNorlase()
{
    // Both sides' channels go before their bases' destructors run: the poll thread must be gone first.
    StopBackgroundThread(DisconnectStopTimeoutMs);
}

// ---------------------------------------------------------------------------------------------------
// TEC operations: every sensor index becomes the active sensor

int CNorlase::GetSensorType(bool forceQuery, int)
{
    return CMultiTec::GetSensorType(forceQuery, kActiveSensor);
}

bool CNorlase::SetSensorType(int code, int)
{
    return CMultiTec::SetSensorType(code, kActiveSensor);
}

bool CNorlase::IsSensorTypeSupported(int code, int)
{
    return CMultiTec::IsSensorTypeSupported(code, kActiveSensor);
}

bool CNorlase::SetTLowLimit(float celsius, int)
{
    return CMultiTec::SetTLowLimit(celsius, kActiveSensor);
}

float CNorlase::GetTLowLimit(int)
{
    return CMultiTec::GetTLowLimit(kActiveSensor);
}

bool CNorlase::SetTHighLimit(float celsius, int)
{
    return CMultiTec::SetTHighLimit(celsius, kActiveSensor);
}

float CNorlase::GetTHighLimit(int)
{
    return CMultiTec::GetTHighLimit(kActiveSensor);
}

uint32_t CNorlase::GetSupportedSensorMask(int)
{
    return CMultiTec::GetSupportedSensorMask(kActiveSensor);
}

float CNorlase::GetT(bool averaged, int)
{
    return CMultiTec::GetT(averaged, kActiveSensor);
}

float CNorlase::GetR(bool averaged, int)
{
    return CMultiTec::GetR(averaged, kActiveSensor);
}

bool CNorlase::SetThermistorConstants(int, float a, float b, float c)
{
    return CMultiTec::SetThermistorConstants(kActiveSensor, a, b, c);
}

bool CNorlase::GetThermistorConstants(int, float& a, float& b, float& c)
{
    return CMultiTec::GetThermistorConstants(kActiveSensor, a, b, c);
}

bool CNorlase::SetRTDConstants(int, float a, float b, float c, float r0)
{
    return CMultiTec::SetRTDConstants(kActiveSensor, a, b, c, r0);
}

bool CNorlase::GetRTDConstants(int, float& a, float& b, float& c, float& r0)
{
    return CMultiTec::GetRTDConstants(kActiveSensor, a, b, c, r0);
}

bool CNorlase::GetStoredPulseValues(int, std::array<float, 3>& values)
{
    values = {0.0f, 0.0f, 0.0f};
    return false;
}

// ---------------------------------------------------------------------------------------------------
// Session parts

bool CNorlase::IsInstrumentType(int type) const
{
    return type == 7;
}

std::string CNorlase::GetCommandPrefix() const
{
    // Each channel sends its own prefix; the unit as a whole sends none.
    return {};
}

bool CNorlase::PollHook1(uint64_t pollFlags)
{
    PollTecChannels(1, pollFlags);
    PollLaserChannels(1, pollFlags);
    return true;
}

bool CNorlase::PollHook2(uint64_t pollFlags)
{
    PollTecChannels(2, pollFlags);
    PollLaserChannels(2, pollFlags);
    return true;
}

bool CNorlase::PollHook3(uint64_t pollFlags)
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

void CNorlase::ProcessPending()
{
    CInstrBase::ProcessPending();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ProcessPending(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ProcessPending(); });
}

int CNorlase::GetErrorCount() const
{
    return CInstrBase::GetErrorCount() + SumLaserChannelErrors() + SumTecChannelErrors();
}

CErrorMsg CNorlase::GetError(int index, bool remove)
{
    const int own = CInstrBase::GetErrorCount();
    if (index < own)
        return CInstrBase::GetError(index, remove);
    std::vector<CInstrBase*> channels = LaserChannelList();
    const std::vector<CInstrBase*> tecs = TecChannelList();
    channels.insert(channels.end(), tecs.begin(), tecs.end());
    return ChannelError(channels, index - own, remove);
}

void CNorlase::ClearErrors()
{
    CInstrBase::ClearErrors();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ClearErrors(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ClearErrors(); });
}

void CNorlase::ClearUserFlag()
{
    CInstrBase::ClearUserFlag();
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.ClearUserFlag(); });
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.ClearUserFlag(); });
}

bool CNorlase::Identify(bool force)
{
    return CInstrBase::Identify(force);
}

bool CNorlase::Connect(const std::string& descriptor)
{
    if (!OpenSharedAndProbe(*this, descriptor) || !Identify(true))
    {
        Disconnect();
        return false;
    }
    DiscoverLaserChannels();
    DiscoverTecChannels();
    AddErrorsFromReply(Query("ERR?\n"), 0);
    return true;
}

void CNorlase::Disconnect()
{
    CInstrBase::Disconnect();
    ForgetLaserChannels();
    ForgetTecChannels();
}

void CNorlase::DiscoverLaserChannels()
{
    PresentAllLaserChannels();
}

void CNorlase::DiscoverTecChannels()
{
    PresentAllTecChannels();
}
