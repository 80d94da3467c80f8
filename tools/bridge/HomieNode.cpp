#include "HomieNode.h"

const SHomieProperty* SHomieNode::Find(const std::string& propertyId) const
{
    for (const SHomieProperty& property : properties)
    {
        if (property.id == propertyId)
            return &property;
    }
    return nullptr;
}
