#include "instrument/combined/X19.h"

bool CX19::GetFeatureFlag(uint32_t) const
{
    return false;
}
