#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Small locale-independent text helpers for command handlers and the engine.
namespace simtext
{
std::string Upper(std::string_view text);
std::string_view Trim(std::string_view text);
// Splits at "," and trims each field; an empty text gives no fields.
std::vector<std::string_view> SplitArgs(std::string_view args);
// Whole-field numbers ("C" conventions, surrounding blanks allowed); nullopt when not a number.
std::optional<double> ToDouble(std::string_view text);
std::optional<long long> ToInt(std::string_view text);
// "%.*f" without the global locale.
std::string Fixed(double value, int decimals);
} // namespace simtext
