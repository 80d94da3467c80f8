#pragma once

#include "instrument/Laser.h"

// D310 single-channel laser driver. Differs from the family in its mode answers (pulse modes only
// when the unit has pulse timing, BURST only from build 62), its factory DAC lines and its value bag
// (memory read by address: older firmware without keyed access).
class CD310 : public CLaser
{
public:
    CD310();

    bool IsModeSupported(int mode) const override;
    bool SendFactoryDacLine1() override;
    bool SendFactoryDacLine2() override;
    // The family connect, then whether the unit has pulse timing: the family clears the flag and
    // nothing else would ever offer this driver's pulse modes.
    bool Identify(bool force) override;
};
