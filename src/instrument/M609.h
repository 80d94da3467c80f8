#pragma once

#include "instrument/MultiTec.h"

// The M609: four TEC channels on one connection.
class CM609 : public CMultiTec
{
public:
    static constexpr int ChannelSlots = 4;

    CM609();
};
