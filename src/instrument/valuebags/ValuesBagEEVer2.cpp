#include "instrument/valuebags/ValuesBagEEVer2.h"

#include "instrument/session/HexBytes.h"

#include <bit>
#include <charconv>
#include <cstdio>

namespace
{
std::string_view Trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
    {
        return std::string_view();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

template <typename T>
bool ParseWhole(std::string_view text, T& number)
{
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(text.data(), last, number);
    return ec == std::errc() && end == last;
}
} // namespace

std::string CValuesBagEEVer2::FormatRead(uint32_t wireId)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s:GET? %d", GetCommandPrefix(wireId).c_str(),
                  static_cast<int>(wireId));
    return text;
}

std::string CValuesBagEEVer2::FormatWrite(uint32_t wireId, const BAG_VARIANT& value, size_t size)
{
    const std::string prefix = GetCommandPrefix(wireId);
    const int id = static_cast<int>(wireId);
    char text[96];
    switch (value.type)
    {
    case BAG_R4:
        std::snprintf(text, sizeof text, "%s:PUT %d,#E%08x", prefix.c_str(), id,
                      std::bit_cast<uint32_t>(value.floatValue));
        return text;
    case BAG_ARRAY:
    case BAG_STRING:
    {
        size_t length = std::min(size, value.bytes.size());
        std::snprintf(text, sizeof text, "%s:PUTARRAY %d,0,%d,", prefix.c_str(), id,
                      static_cast<int>(length));
        return text + FormatHexBytes(std::span(value.bytes).first(length));
    }
    default:
        std::snprintf(text, sizeof text, "%s:PUT %d,%lld", prefix.c_str(), id,
                      static_cast<long long>(value.intValue));
        return text;
    }
}

bool CValuesBagEEVer2::ParseReply(std::string_view reply, BAG_VARIANT& value)
{
    std::string_view text = Trim(reply);
    if (text.empty())
    {
        return false;
    }
    switch (value.type)
    {
    case BAG_ARRAY:
    case BAG_STRING:
        return ParseHexBytes(text, value.bytes);
    case BAG_R4:
    {
        double number = 0.0;
        return ParseWhole(text, number) && EncodeNumber(value.type, number, value);
    }
    default:
    {
        long long number = 0;
        return ParseWhole(text, number) && EncodeNumber(value.type, static_cast<double>(number), value);
    }
    }
}

bool CValuesBagEEVer2::ReadValue(uint32_t key, BAG_VARIANT& value)
{
    if (!IsInstrumentConnected())
    {
        return false;
    }
    return ParseReply(QueryInstrument(FormatRead(GetWireId(key))), value);
}

bool CValuesBagEEVer2::WriteValue(uint32_t key, const BAG_VARIANT& value)
{
    SBagKeyInfo info;
    if (!IsInstrumentConnected() || !LookupKey(key, info))
    {
        return false;
    }
    return SendInstrument(FormatWrite(GetWireId(key), value, info.size));
}
