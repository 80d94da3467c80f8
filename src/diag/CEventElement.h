#pragma once

#include <cstdint>
#include <string>

// One log category: status 0 follows the global threshold, 1 uses its own level, anything else is silent.
struct CEventElement
{
    int32_t status = 0;
    uint32_t level = 0;
    std::string name;
};
