#include "instrument/models/D312.h"

#include "instrument/models/ModelRules.h"
#include "instrument/valuebags/ValuesBagEED312.h"

#include <memory>

CD312::CD312()
{
    SetValueBag(std::make_unique<CValuesBagEED312>(this));
}

bool CD312::IsModeSupported(int mode) const
{
    return ModelRules::IsContinuousMode(mode);
}

bool CD312::SendFactoryDacLine1()
{
    return Command(ModelRules::FactoryDacLine1);
}

bool CD312::SendFactoryDacLine2()
{
    return Command(ModelRules::FactoryDacLine2);
}
