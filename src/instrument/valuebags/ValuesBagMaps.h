#pragma once

#include "instrument/valuebags/BagVariant.h"

#include <span>

// The EEPROM memory maps of the models that keep values in a bag: which keys exist, their types,
// addresses, sizes and byte order. Only the keys the program uses are listed.
namespace ValuesBagMaps
{
std::span<const SBagKeyInfo> D310();
std::span<const SBagKeyInfo> D710();
std::span<const SBagKeyInfo> D312();
std::span<const SBagKeyInfo> K705();
std::span<const SBagKeyInfo> K760();
std::span<const SBagKeyInfo> K910();
std::span<const SBagKeyInfo> X510();
std::span<const SBagKeyInfo> V3Combo();
} // namespace ValuesBagMaps
