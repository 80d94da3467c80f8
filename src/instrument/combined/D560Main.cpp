#include "instrument/combined/D560Main.h"

#include "instrument/session/HexBytes.h"

#include <vector>

namespace
{
constexpr int kRangeBlockDigits = 32;
} // namespace

float CD560Main::GetMaxLDISetPoint()
{
    return GetMaxLDISetPointForRange(-1);
}

float CD560Main::GetMaxLDISetPointForRange(int range)
{
    const auto maxima = DecodeRangeBlock(Query("las:fact:geta? 69,0,4\r"));
    if (range == -1)
        range = GetRange();
    if (!maxima || range < 0 || range >= RangeCount)
        return 0.0f;
    return static_cast<float>(static_cast<uint64_t>((*maxima)[static_cast<size_t>(range)] * 1.02));
}

std::optional<CD560Main::RangeMaxima> CD560Main::DecodeRangeBlock(std::string_view reply)
{
    std::vector<uint8_t> bytes;
    if (reply.size() != kRangeBlockDigits || !ParseHexBytes(reply, bytes) ||
        bytes.size() != size_t{4} * RangeCount)
        return std::nullopt;
    RangeMaxima maxima{};
    for (size_t i = 0; i < maxima.size(); ++i)
    {
        for (size_t b = 0; b < 4; ++b)
            maxima[i] |= static_cast<uint32_t>(bytes[4 * i + b]) << (8 * b);
    }
    return maxima;
}
