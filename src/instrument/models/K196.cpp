#include "instrument/models/K196.h"

int CK196::GetSensorCount() const
{
    return 2;
}
