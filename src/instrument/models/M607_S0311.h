#pragma once

#include "instrument/models/M607.h"

// The M607 custom variant S0311: as the M607, but both laser channels run pulsed (QCW).
class CM607_S0311 : public CM607
{
public:
    CM607_S0311() = default;
    // Polling ends before the object starts to come apart.
    ~CM607_S0311() override;

protected:
    void PrepareChannels() override;
};
