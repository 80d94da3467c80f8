#pragma once

#include "SimModel.h"

#include <string>
#include <vector>

// The catalogue of simulated models: at least one per instrument class the program creates, plus the
// odd firmware that identification must cope with.
class CSimModelTable
{
public:
    static const std::vector<SSimModel>& All();
    static const SSimModel* Find(const std::string& name); // case-insensitive
};
