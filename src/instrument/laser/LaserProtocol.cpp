#include "instrument/laser/LaserProtocol.h"

#include <array>
#include <charconv>
#include <cmath>

namespace
{
struct ModeName
{
    std::string_view name;
    int mode;
};

// "I" and "ILBW" are both the low-bandwidth current mode; firmware versions differ in which they report.
constexpr std::array<ModeName, 9> kModeNames{{{"I", LaserModeICW},
                                              {"ILBW", LaserModeICW},
                                              {"IHBW", LaserModeIHBW},
                                              {"PULSE", LaserModePulse},
                                              {"TRIG", LaserModeTrig},
                                              {"BURST", LaserModeBurst},
                                              {"MDI", LaserModeMDI},
                                              {"MDP", LaserModeMDP},
                                              {"LDV", LaserModeLDV}}};

constexpr std::array<std::string_view, 9> kModeCommands{
    "",
    ":LAS:MODE:ICW\r\n",
    ":LAS:MODE:IHBW\r\n",
    ":LAS:MODE:PULSE\r\n",
    ":LAS:MODE:TRIG\r\n",
    ":LAS:MODE:BURST\r\n",
    ":LAS:MODE:MDI\r\n",
    ":LAS:MODE:MDP\r\n",
    ":LAS:MODE:LDV\r\n",
};

struct PollPart
{
    uint32_t flag;
    LaserPollItem item;
    const char* query;
};

// Query order of the poll line; each set point follows its reading.
constexpr std::array<PollPart, 12> kPollParts{{
    {LaserPollLDI, LaserPollItem::LDI, ":LAS:I?;"},
    {LaserPollLDISet, LaserPollItem::LDISet, ":LAS:SET:I?;"},
    {LaserPollMDI, LaserPollItem::MDI, ":LAS:MDI?;"},
    {LaserPollMDISet, LaserPollItem::MDISet, ":LAS:SET:MDI?;"},
    {LaserPollMDP, LaserPollItem::MDP, ":LAS:MDP?;"},
    {LaserPollMDPSet, LaserPollItem::MDPSet, ":LAS:SET:MDP?;"},
    {LaserPollLDV, LaserPollItem::LDV, ":LAS:LDV?;"},
    {LaserPollLDVSet, LaserPollItem::LDVSet, ":LAS:SET:LDV?;"},
    {LaserPollOutput, LaserPollItem::Output, ":LAS:OUT?;"},
    {LaserPollMode, LaserPollItem::Mode, ":LAS:MODE?;"},
    {LaserPollVBulk, LaserPollItem::VBulk, ":LAS:VBULK?;"},
    {LaserPollVPeak, LaserPollItem::VPeak, ":LAS:VPEAK?;"},
}};

std::string_view Trim(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// from_chars accepts neither a leading "+" nor blanks; instruments may send both.
std::string_view NumberBody(std::string_view text)
{
    text = Trim(text);
    if (text.size() > 1 && text.front() == '+')
        text.remove_prefix(1);
    return text;
}

bool IsReading(LaserPollItem item)
{
    return item == LaserPollItem::LDI || item == LaserPollItem::MDI || item == LaserPollItem::MDP ||
           item == LaserPollItem::LDV;
}

std::optional<LaserPollValue> DecodeField(LaserPollItem item, std::string_view field)
{
    LaserPollValue decoded;
    decoded.item = item;
    if (item == LaserPollItem::Mode)
    {
        decoded.text = std::string(Trim(field));
        return decoded;
    }
    if (item == LaserPollItem::Output)
    {
        const auto on = LaserProtocol::ParseInteger(field);
        if (!on)
            return std::nullopt;
        decoded.value = *on != 0 ? 1.0 : 0.0;
        return decoded;
    }
    const auto number = LaserProtocol::ParseNumber(field);
    if (!number)
        return std::nullopt;
    decoded.value = *number;
    if (IsReading(item))
        decoded.precision = LaserProtocol::CountDecimals(field);
    return decoded;
}
} // namespace

namespace LaserProtocol
{
std::string ModeCommand(int mode)
{
    if (mode < 1 || mode >= static_cast<int>(kModeCommands.size()))
        return {};
    return std::string(kModeCommands[mode]);
}

int ParseModeName(std::string_view reply)
{
    reply = Trim(reply);
    for (const auto& entry : kModeNames)
    {
        if (entry.name == reply)
            return entry.mode;
    }
    return LaserModeNone;
}

int SetPointQuantityOfMode(int mode)
{
    if (mode >= LaserModeICW && mode <= LaserModeBurst)
        return 0;
    if (mode == LaserModeMDI)
        return 1;
    if (mode == LaserModeMDP)
        return 2;
    if (mode == LaserModeLDV)
        return 3;
    return -1;
}

std::optional<double> ParseNumber(std::string_view text)
{
    text = NumberBody(text);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    // "inf" and "nan" read as numbers but no instrument measures them.
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long long> ParseInteger(std::string_view text)
{
    text = NumberBody(text);
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

int CountDecimals(std::string_view text)
{
    const auto point = text.find('.');
    if (point == std::string_view::npos)
        return 0;
    int count = 0;
    for (size_t i = point + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        ++count;
    return count;
}

std::optional<std::pair<double, double>> ParseNumberPair(std::string_view text)
{
    const auto comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const auto first = ParseNumber(text.substr(0, comma));
    const auto second = ParseNumber(text.substr(comma + 1));
    if (!first || !second)
        return std::nullopt;
    return std::make_pair(*first, *second);
}

std::optional<std::vector<double>> ParseNumberList(std::string_view text)
{
    std::vector<double> values;
    for (;;)
    {
        const auto comma = text.find(',');
        const auto value = ParseNumber(text.substr(0, comma));
        if (!value)
            return std::nullopt;
        values.push_back(*value);
        if (comma == std::string_view::npos)
            return values;
        text.remove_prefix(comma + 1);
    }
}

std::string FormatFixed(double value, int digits)
{
    std::array<char, 400> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, digits);
    if (ec != std::errc())
        return "0";
    return std::string(buffer.data(), end);
}

double TruncateDecimals(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    const double nearest = std::round(scaled);
    // Below a millionth of a step the difference is binary representation noise, not the user's value.
    const double steps = std::fabs(scaled - nearest) < 1e-6 ? nearest : std::trunc(scaled);
    return steps / scale + 0.0; // + 0.0 turns -0.0 into 0.0
}

std::vector<std::string> PollQueries(uint32_t upperFlags)
{
    std::vector<std::string> parts{":LAS:CHAN?;"};
    for (const auto& part : kPollParts)
    {
        if (upperFlags & part.flag)
            parts.emplace_back(part.query);
    }
    return parts;
}

std::optional<LaserPollReply> ParsePollReply(uint32_t upperFlags, const std::vector<std::string>& fields)
{
    if (fields.size() != PollQueries(upperFlags).size())
        return std::nullopt;
    const auto channel = ParseInteger(fields[0]);
    if (!channel)
        return std::nullopt;
    LaserPollReply reply{static_cast<int>(*channel), {}};
    size_t index = 1;
    for (const auto& part : kPollParts)
    {
        if (!(upperFlags & part.flag))
            continue;
        const auto decoded = DecodeField(part.item, fields[index++]);
        if (!decoded)
            return std::nullopt;
        reply.values.push_back(*decoded);
    }
    return reply;
}
} // namespace LaserProtocol
