#pragma once

#include "instrument/models/K760.h"

// K196: the K760's controller built with two sensor inputs; everything else as the K760.
class CK196 : public CK760
{
public:
    int GetSensorCount() const override;
};
