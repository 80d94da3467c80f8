#pragma once

#include "instrument/multi/MultiLaser.h"

// The D560: a main laser (channel 1) and a pilot laser (channel 2) on one connection. Both are always
// fitted, so the channels are not discovered: both are present after identification.
class CD560 : public CMultiLaser
{
public:
    static constexpr int ChannelSlots = 2;

    CD560();

protected:
    void DiscoverLaserChannels() override;
};
