#pragma once

#include "instrument/multi/MultiLaser.h"

// The M618: four laser channels on one connection, addressed by "LAS:CHAN %d;".
class CM618 : public CMultiLaser
{
public:
    static constexpr int ChannelSlots = 4;

    CM618();
    // Polling ends before the object starts to come apart.
    ~CM618() override;
};
