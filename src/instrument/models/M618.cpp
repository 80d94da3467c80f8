#include "instrument/models/M618.h"

#include "instrument/models/M618Laser.h"

#include <memory>

CM618::CM618()
{
    for (int i = 0; i < ChannelSlots; ++i)
        AddLaserChannel(std::make_unique<CM618Laser>());
}

CM618::~CM618()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
}
