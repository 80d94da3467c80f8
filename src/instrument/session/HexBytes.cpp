#include "instrument/session/HexBytes.h"

#include <charconv>

namespace
{
bool ParseByte(std::string_view digits, std::vector<uint8_t>& bytes)
{
    unsigned value = 0;
    const char* last = digits.data() + digits.size();
    auto [end, ec] = std::from_chars(digits.data(), last, value, 16);
    if (ec != std::errc() || end != last)
    {
        return false;
    }
    bytes.push_back(static_cast<uint8_t>(value));
    return true;
}

bool ParseField(std::string_view field, std::vector<uint8_t>& bytes)
{
    if (field.size() <= 2)
    {
        return ParseByte(field, bytes);
    }
    if (field.size() % 2 != 0)
    {
        return false;
    }
    for (size_t pos = 0; pos < field.size(); pos += 2)
    {
        if (!ParseByte(field.substr(pos, 2), bytes))
        {
            return false;
        }
    }
    return true;
}
} // namespace

std::string FormatHexBytes(std::span<const uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t byte : bytes)
    {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0xF]);
    }
    return text;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& bytes)
{
    constexpr std::string_view separators = " ,\t\r\n";
    bytes.clear();
    size_t pos = text.find_first_not_of(separators);
    while (pos != std::string_view::npos)
    {
        size_t end = text.find_first_of(separators, pos);
        std::string_view field = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        if (!ParseField(field, bytes))
        {
            bytes.clear();
            return false;
        }
        pos = end == std::string_view::npos ? end : text.find_first_not_of(separators, end);
    }
    return true;
}
