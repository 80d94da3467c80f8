#include "instrument/K196.h"

int CK196::GetSensorCount() const
{
    return 2;
}
