#include "instrument/models/M609.h"

#include "instrument/models/M609TEC.h"

#include <memory>

CM609::CM609()
{
    for (int i = 0; i < ChannelSlots; ++i)
        AddTecChannel(std::make_unique<CM609TEC>());
}

CM609::~CM609()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
}
