#pragma once

#include "instrument/combined/D560Channel.h"

// The pilot laser of the D560: it has no photodiode control, so the MDI and MDP set points and
// limits answer 0 and nothing is asked.
class CD560Pilot : public CD560Channel
{
public:
    CD560Pilot() = default;

    float GetMDISetPoint() override { return 0.0f; }
    float GetMDILimit() override { return 0.0f; }
    float GetMDPSetPoint() override { return 0.0f; }
    float GetMDPLimit() override { return 0.0f; }
};
