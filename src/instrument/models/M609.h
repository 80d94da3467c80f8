#pragma once

#include "instrument/multi/MultiTec.h"

// The M609: four TEC channels on one connection.
class CM609 : public CMultiTec
{
public:
    static constexpr int ChannelSlots = 4;

    CM609();
    // Polling ends before the object starts to come apart.
    ~CM609() override;
};
