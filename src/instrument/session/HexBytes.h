#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Each byte as two lower-case hexadecimal digits, without separators.
std::string FormatHexBytes(std::span<const uint8_t> bytes);

// Bytes written in hexadecimal: either one byte per field (fields separated by blanks or ",", one
// or two digits each) or runs of digit pairs. False, with bytes emptied, on anything else.
bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& bytes);
