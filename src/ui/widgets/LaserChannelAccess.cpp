#include "ui/widgets/LaserChannelAccess.h"

#include "instrument/laser/Laser.h"

CLaser* SLaserChannelAccess::Selected() const
{
    CLaser* laser = Peek();
    if (laser && select)
        select();
    return laser;
}

CInstrBase* SLaserChannelAccess::Session() const
{
    if (session)
        return session();
    return Peek();
}

CLaser* SLaserChannelAccess::Direct() const
{
    if (direct)
        return direct();
    return channel ? channel() : nullptr;
}

const SInstrumentLink& SLaserChannelAccess::Link() const
{
    static const SInstrumentLink none;
    return link ? link() : none;
}
