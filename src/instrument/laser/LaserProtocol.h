#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Operating modes of a laser-diode driver channel, as the instrument numbers them.
enum LaserMode : int
{
    LaserModeNone = 0,
    LaserModeICW = 1,
    LaserModeIHBW = 2,
    LaserModePulse = 3,
    LaserModeTrig = 4,
    LaserModeBurst = 5,
    LaserModeMDI = 6,
    LaserModeMDP = 7,
    LaserModeLDV = 8
};

// Laser readings selected for polling. These are bits of the upper 32 bits of the session's 64-bit poll
// selection (the lower half belongs to the TEC family), so one selection serves a combined unit.
enum LaserPollFlags : uint32_t
{
    LaserPollLDI = 0x1,
    LaserPollMDI = 0x2,
    LaserPollMDP = 0x4,
    LaserPollLDV = 0x8,
    LaserPollLDISet = 0x10,
    LaserPollMDISet = 0x20,
    LaserPollMDPSet = 0x40,
    LaserPollLDVSet = 0x80,
    LaserPollOutput = 0x100,
    LaserPollMode = 0x200,
    LaserPollFrequency = 0x4000,  // cache only: filled by models whose poll reads it
    LaserPollPulseWidth = 0x8000, // cache only
    LaserPollVBulk = 0x100000,
    LaserPollVPeak = 0x200000,
    // Everything a new channel polls: readings, set points, output, mode and VBULK (not VPEAK).
    LaserPollDefault = 0x1003FF,
    // The bits a new channel owns and clears before adding its defaults.
    LaserPollOwnedMask = 0xFFFFF
};

// The value of one laser poll flag in the session's 64-bit selection.
constexpr uint64_t LaserPollBits(uint32_t upperFlags)
{
    return static_cast<uint64_t>(upperFlags) << 32;
}

// What one poll field carries, in the order the poll query asks for them.
enum class LaserPollItem
{
    LDI,
    LDISet,
    MDI,
    MDISet,
    MDP,
    MDPSet,
    LDV,
    LDVSet,
    Output,
    Mode,
    VBulk,
    VPeak
};

// One decoded poll field. Readings carry their precision (digits after the decimal point).
struct LaserPollValue
{
    LaserPollItem item;
    double value = 0.0; // number, or output as 0/1
    int precision = 0;
    std::string text; // the mode name as sent; the channel class decides what it means
};

// A decoded poll reply: the channel number the instrument answered and the selected values in order.
struct LaserPollReply
{
    int channel = 0;
    std::vector<LaserPollValue> values;
};

// Pure formatters and parsers of the laser command language: no port, no locale dependence.
namespace LaserProtocol
{
// The mode command for a mode code, or an empty text for a code without one.
std::string ModeCommand(int mode);
// A mode reply name to its code; any other text gives LaserModeNone.
int ParseModeName(std::string_view reply);
// The set point a mode drives: 0 LDI (current modes), 1 MDI, 2 MDP, 3 LDV, -1 none.
int SetPointQuantityOfMode(int mode);

// Numbers as the instrument writes them ("." decimal point, optional sign, blanks around).
std::optional<double> ParseNumber(std::string_view text);
std::optional<long long> ParseInteger(std::string_view text);
// Digits after the first "." up to the first non-digit; 0 when there is no ".".
int CountDecimals(std::string_view text);
// Two numbers separated by "," and optional blanks, as in "%f, %f".
std::optional<std::pair<double, double>> ParseNumberPair(std::string_view text);
// Numbers separated by "," and optional blanks; nullopt when any field is not a number.
std::optional<std::vector<double>> ParseNumberList(std::string_view text);

// Fixed-point text with the given digits after the point, always with ".", like "%.*f" in "C".
std::string FormatFixed(double value, int digits);
// Truncates toward zero to the given decimal places. A value that sits within rounding noise of
// the next step (12.3 stored as 12.29999...) keeps that step, so what the user typed is what is sent.
double TruncateDecimals(double value, int decimals);

// The compound poll query parts for the upper-half flags, ":LAS:CHAN?;" first.
std::vector<std::string> PollQueries(uint32_t upperFlags);
// Decodes the fields of a poll reply for the same flags; empty when the count differs or a field
// does not parse (nothing of such a reply may be used).
std::optional<LaserPollReply> ParsePollReply(uint32_t upperFlags, const std::vector<std::string>& fields);
} // namespace LaserProtocol
