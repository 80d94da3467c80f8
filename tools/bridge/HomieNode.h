#pragma once

#include "HomieProperty.h"

#include <string>
#include <vector>

// One node of a Homie device: a channel of the instrument, or the instrument itself.
struct SHomieNode
{
    std::string id;
    std::string name;
    std::string type;
    std::vector<SHomieProperty> properties;

    const SHomieProperty* Find(const std::string& propertyId) const;
};
