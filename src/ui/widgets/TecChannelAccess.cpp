#include "ui/widgets/TecChannelAccess.h"

#include "instrument/tec/TEC.h"

CTEC* STecChannelAccess::Selected() const
{
    CTEC* tec = channel ? channel() : nullptr;
    if (tec && select)
        select();
    return tec;
}

CInstrBase* STecChannelAccess::Session() const
{
    if (session)
        return session();
    return channel ? channel() : nullptr;
}

CTEC* STecChannelAccess::Direct() const
{
    if (direct)
        return direct();
    return channel ? channel() : nullptr;
}

const SInstrumentLink& STecChannelAccess::Link() const
{
    static const SInstrumentLink none;
    return link ? link() : none;
}
