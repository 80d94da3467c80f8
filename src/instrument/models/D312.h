#pragma once

#include "instrument/laser/Laser.h"

// D312 single-channel laser driver with two current ranges. Differs from the family in having no
// pulse modes at all, the low/high range ("LAS:RANGE", range-dependent maximum current), the remote
// set commands, the factory DAC lines, and its value bag (keyed access, with the range selection).
class CD312 : public CLaser
{
public:
    CD312();

    bool IsModeSupported(int mode) const override;
    bool HasDualRange() const override { return true; }
    bool HasRemoteSetControl() const override { return true; }
    bool SendFactoryDacLine1() override;
    bool SendFactoryDacLine2() override;
};
