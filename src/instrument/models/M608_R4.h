#pragma once

#include "instrument/multi/MultiLaser.h"

// The M608 variant R4: four laser channels like the M618, whose channels add the factory's auxiliary
// calibration commands.
class CM608_R4 : public CMultiLaser
{
public:
    static constexpr int ChannelSlots = 4;

    CM608_R4();
    // Polling ends before the object starts to come apart.
    ~CM608_R4() override;
};
