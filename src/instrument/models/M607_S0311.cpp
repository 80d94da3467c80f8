#include "instrument/models/M607_S0311.h"

void CM607_S0311::PrepareChannels()
{
    CM607::PrepareChannels();
    // The only difference from the M607: QCW is fitted on both laser channels.
    ForEachLaserChannel([](CMultiLaser::Channel& channel) { channel.SetQCWSupported(true); });
}

CM607_S0311::~CM607_S0311()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
}
