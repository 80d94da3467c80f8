#pragma once

#include "instrument/multi/MultiTec.h"

// A TEC channel of the four-channel M609: the family channel, addressed by "TEC:CHAN %d;".
class CM609TEC : public CMultiTec::Channel
{
public:
    CM609TEC() = default;
};
