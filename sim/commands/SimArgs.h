#pragma once

#include "SimResult.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Argument parsing and reply formatting shared by the instrument command sets.
namespace simargs
{
constexpr int kUnknownCommand = 123; // also: a command this model's firmware lacks
constexpr int kBadParameter = 124;
constexpr int kWrongCount = 126;
constexpr int kOutOfRange = 201;

// Exactly `count` comma-separated numbers; nullopt when a field is missing, extra or not a number.
std::optional<std::vector<double>> Numbers(std::string_view args, size_t count);
std::optional<double> Number(std::string_view args);
// An integer, optionally followed by the letter "s" (enable masks are written "%us").
std::optional<long long> Integer(std::string_view args);
// The error to queue when Numbers/Number/Integer failed: 126 for a wrong field count, else 124.
int ParseError(std::string_view args, size_t count);

// 0 -> Done, else the error.
SSimResult Status(int error);
SSimResult Fixed(double value, int decimals);
SSimResult Int(long long value);
// Several numbers in one reply field, ", "-separated as the units print them ("0.100, 5.0").
SSimResult List(const std::vector<double>& values, const std::vector<int>& decimals);
} // namespace simargs
