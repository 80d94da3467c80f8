#include "HomiePayload.h"

#include <charconv>
#include <cmath>

namespace
{
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Advances past a run of digits; false when there is none.
bool Digits(std::string_view text, size_t& index)
{
    const size_t start = index;
    while (index < text.size() && IsDigit(text[index]))
        ++index;
    return index > start;
}

bool IsFloatText(std::string_view text)
{
    size_t index = 0;
    if (index < text.size() && text[index] == '-')
        ++index;
    if (!Digits(text, index))
        return false;
    if (index < text.size() && text[index] == '.')
    {
        ++index;
        if (!Digits(text, index))
            return false;
    }
    if (index < text.size() && (text[index] == 'e' || text[index] == 'E'))
    {
        ++index;
        if (index < text.size() && (text[index] == '-' || text[index] == '+'))
            ++index;
        if (!Digits(text, index))
            return false;
    }
    return index == text.size();
}

bool IsEnumValue(const std::string& format, std::string_view payload)
{
    size_t start = 0;
    while (start <= format.size())
    {
        const size_t comma = std::min(format.find(',', start), format.size());
        if (std::string_view(format).substr(start, comma - start) == payload)
            return true;
        start = comma + 1;
    }
    return false;
}
} // namespace

bool HomiePayload::IsUtf8(std::string_view text)
{
    size_t index = 0;
    while (index < text.size())
    {
        const auto lead = static_cast<unsigned char>(text[index]);
        size_t length = 0;
        unsigned minimum = 0;
        unsigned code = 0;
        if (lead < 0x80)
            length = 1, code = lead;
        else if ((lead & 0xE0) == 0xC0)
            length = 2, code = lead & 0x1Fu, minimum = 0x80;
        else if ((lead & 0xF0) == 0xE0)
            length = 3, code = lead & 0x0Fu, minimum = 0x800;
        else if ((lead & 0xF8) == 0xF0)
            length = 4, code = lead & 0x07u, minimum = 0x10000;
        else
            return false;
        if (index + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
        {
            const auto next = static_cast<unsigned char>(text[index + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (length > 1 && (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
            return false;
        index += length;
    }
    return true;
}

std::optional<double> HomiePayload::ParseFloat(std::string_view text)
{
    if (!IsFloatText(text))
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::string> HomiePayload::CheckSet(const SHomieProperty& property, std::string_view payload,
                                                  std::string& error)
{
    if (!property.settable)
    {
        error = "the property is not settable";
        return std::nullopt;
    }
    if (payload.size() > MaxSetBytes)
    {
        error = "the payload is longer than " + std::to_string(MaxSetBytes) + " bytes";
        return std::nullopt;
    }
    if (!IsUtf8(payload))
    {
        error = "the payload is not UTF-8";
        return std::nullopt;
    }
    const std::string text(payload);
    switch (property.type)
    {
    case SHomieProperty::Type::Float:
        if (!ParseFloat(payload))
        {
            error = "\"" + text + "\" is not a finite number";
            return std::nullopt;
        }
        return text;
    case SHomieProperty::Type::Boolean:
        if (text == "true" || text == "false")
            return text == "true" ? "on" : "off";
        error = "\"" + text + "\" is neither true nor false";
        return std::nullopt;
    case SHomieProperty::Type::Enum:
        if (!text.empty() && IsEnumValue(property.format, payload))
            return text;
        error = "\"" + text + "\" is not one of " + property.format;
        return std::nullopt;
    case SHomieProperty::Type::String:
        break;
    }
    error = "the property takes no set request";
    return std::nullopt;
}
