#pragma once

#include "HomieProperty.h"

#include <optional>
#include <string>
#include <string_view>

// The payloads of Homie properties: what a set request may carry, checked before anything reaches an
// instrument. Pure functions.
namespace HomiePayload
{
// Set requests longer than this are refused unread: no value of a set point or mode needs more.
inline constexpr size_t MaxSetBytes = 64;

bool IsUtf8(std::string_view text);
// A Homie float: [-]digits[.digits][e[+|-]digits]; no blanks, no "+" in front, no NaN or infinity.
std::optional<double> ParseFloat(std::string_view text);

// The value of a set request in the words the command-line setting parser takes ("on"/"off" for a
// boolean, the enum value, the number as sent), or nullopt with the reason in error.
std::optional<std::string> CheckSet(const SHomieProperty& property, std::string_view payload,
                                    std::string& error);
} // namespace HomiePayload
