#pragma once

#include "instrument/combined/D560Channel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The main laser of the D560. Its maximum LDI set point is not a stored value but comes from the
// factory data block, which holds the maximum [mA] of each of the four current ranges.
class CD560Main : public CD560Channel
{
public:
    static constexpr int RangeCount = 4;
    using RangeMaxima = std::array<uint32_t, RangeCount>;

    CD560Main() = default;

    // The maximum of the current range, times 1.02 and truncated; 0 when the block is unreadable.
    float GetMaxLDISetPoint() override;
    // The same for one range (0 to 3); -1 is the current range.
    virtual float GetMaxLDISetPointForRange(int range);

    // 32 hexadecimal digits: 16 bytes forming four unsigned 32-bit values, least significant byte first.
    // Empty for a reply of any other length or with a non-hexadecimal digit.
    static std::optional<RangeMaxima> DecodeRangeBlock(std::string_view reply);
};
