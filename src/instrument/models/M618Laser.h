#pragma once

#include "instrument/multi/MultiLaser.h"

// A laser channel of the four-channel M618: the family channel that also polls the bulk and peak
// voltages of its output stage.
class CM618Laser : public CMultiLaser::Channel
{
public:
    CM618Laser();
};
