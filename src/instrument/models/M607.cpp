#include "instrument/models/M607.h"

CM607::CM607() : CMultiLaserTec(ChannelSlotsPerSide, ChannelSlotsPerSide) {}

CM607::~CM607()
{
    // Polling ends before the object starts to come apart.
    StopBackgroundThread(DisconnectStopTimeoutMs);
}

bool CM607::IsInstrumentType(int type) const
{
    return type == 3;
}

void CM607::PrepareChannels()
{
    // The M607's TEC channels run the instrument's PID autotune.
    ForEachTecChannel([](CMultiTec::Channel& channel) { channel.SetAutoTuneSupported(true); });
}
