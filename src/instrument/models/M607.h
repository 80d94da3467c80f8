#pragma once

#include "instrument/multi/MultiLaserTec.h"

// The M607: two laser channels and two TEC channels on one connection and one session. Both sides are
// discovered at connect and polled in one cycle (TEC channels in the first hook, lasers in the second).
class CM607 : public CMultiLaserTec
{
public:
    static constexpr int ChannelSlotsPerSide = 2;

    CM607();
    ~CM607() override;

    bool IsInstrumentType(int type) const override;

protected:
    void PrepareChannels() override;
};
