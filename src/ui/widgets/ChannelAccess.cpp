#include "ui/widgets/ChannelAccess.h"

#include "instrument/laser/Laser.h"
#include "instrument/tec/TEC.h"

template <class Channel>
CInstrBase* SChannelAccess<Channel>::Session() const
{
    if (session)
        return session();
    return Peek();
}

template struct SChannelAccess<CTEC>;
template struct SChannelAccess<CLaser>;
