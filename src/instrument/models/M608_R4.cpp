#include "instrument/models/M608_R4.h"

#include "instrument/models/M608_R4Laser.h"

#include <memory>

CM608_R4::CM608_R4()
{
    for (int i = 0; i < ChannelSlots; ++i)
        AddLaserChannel(std::make_unique<CM608_R4Laser>());
}

CM608_R4::~CM608_R4()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
}
