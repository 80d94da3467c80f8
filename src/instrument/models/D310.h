#pragma once

#include "instrument/laser/Laser.h"

// D310 single-channel laser driver. Differs from the family in its mode answers (pulse modes only
// when the pulse-capable flag is set, BURST only from build 62), its factory DAC lines and its value
// bag (memory read by address: older firmware without keyed access). Its connect is the family's,
// which leaves the pulse-capable flag clear: the unit is not probed for pulse timing.
class CD310 : public CLaser
{
public:
    CD310();

    bool IsModeSupported(int mode) const override;
    bool SendFactoryDacLine1() override;
    bool SendFactoryDacLine2() override;
};
