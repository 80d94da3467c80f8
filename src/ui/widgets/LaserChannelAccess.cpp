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
