#include "instrument/models/D310.h"

#include "instrument/models/ModelRules.h"
#include "instrument/valuebags/ValuesBagEED310.h"

#include <memory>

CD310::CD310()
{
    SetValueBag(std::make_unique<CValuesBagEED310>(this));
}

bool CD310::IsModeSupported(int mode) const
{
    return ModelRules::IsPulseDriverModeSupported(mode, IsPulseCapable(), GetBuildNumber());
}

bool CD310::SendFactoryDacLine1()
{
    return Command(ModelRules::FactoryDacLine1);
}

bool CD310::SendFactoryDacLine2()
{
    return Command(ModelRules::FactoryDacLine2);
}
