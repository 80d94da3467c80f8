#include "instrument/models/M618Laser.h"

#include "instrument/laser/LaserProtocol.h"

CM618Laser::CM618Laser()
{
    // The M618 reports VBULK and VPEAK; the family default polls neither reading on its own.
    const uint64_t voltages = static_cast<uint64_t>(LaserPollVBulk | LaserPollVPeak) << 32;
    SetPollFlags(CInstrBase::GetPollFlags() | voltages);
}
