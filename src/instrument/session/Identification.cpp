#include "instrument/session/Identification.h"

#include "comm/PortDescriptor.h"

#include <charconv>

namespace Identification
{
namespace
{

constexpr std::string_view kMakers[] = {"Tamrix", "Norlase", "Labsphere"};

// One "%d" of the scanf family: blanks, an optional sign, digits. Advances text past what it read.
bool ScanInt(std::string_view& text, int& value)
{
    size_t pos = text.find_first_not_of(" \t\r\n\f\v");
    if (pos == std::string_view::npos)
        return false;
    text.remove_prefix(pos);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
    {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc())
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    value = negative ? -parsed : parsed;
    return true;
}

void Set(SCodes& codes, int family, int model, int variant)
{
    codes.familyCode = family;
    codes.modelCode = model;
    codes.variantCode = variant;
}

} // namespace

bool ContainsMaker(std::string_view reply)
{
    for (std::string_view maker : kMakers)
        if (reply.find(maker) != std::string_view::npos)
            return true;
    return false;
}

bool StartsWithMaker(std::string_view reply)
{
    for (std::string_view maker : kMakers)
        if (reply.starts_with(maker))
            return true;
    return false;
}

std::optional<int> ParseWhole(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int SplitRevision(std::string_view revision, std::array<int, 4>& codes)
{
    codes = {0, 0, 0, 0};
    revision = revision.substr(0, revision.find(','));
    int present = 0;
    while (present < 4 && !revision.empty())
    {
        size_t dot = revision.find('.');
        const auto code = ParseWhole(revision.substr(0, dot));
        if (!code)
        {
            codes = {0, 0, 0, 0};
            return -1;
        }
        codes[present++] = *code;
        if (dot == std::string_view::npos)
            break;
        revision.remove_prefix(dot + 1);
    }
    return present;
}

bool IsNoRevision(std::string_view revision)
{
    return revision.empty() || revision == "123";
}

std::vector<std::string_view> SplitFields(std::string_view reply)
{
    std::vector<std::string_view> fields;
    if (reply.empty())
        return fields;
    for (;;)
    {
        size_t comma = reply.find(',');
        fields.push_back(reply.substr(0, comma));
        if (comma == std::string_view::npos)
            return fields;
        reply.remove_prefix(comma + 1);
    }
}

std::optional<int> BuildNumberFromText(std::string_view build)
{
    if (build.empty())
        return 0;
    return ParseWhole(build.substr(1));
}

int ParseVersion(std::string_view text, int& major, int& minor)
{
    if (!text.starts_with('v'))
        return 0;
    text.remove_prefix(1);
    if (!ScanInt(text, major))
        return 0;
    if (!text.starts_with('.'))
        return 1;
    text.remove_prefix(1);
    return ScanInt(text, minor) ? 2 : 1;
}

bool IsRevisionReply(std::string_view reply)
{
    const std::vector<std::string_view> fields = SplitFields(reply);
    if (fields.empty())
        return false;
    for (size_t i = 1; i < fields.size(); ++i)
        if (!ParseWhole(fields[i]))
            return false;
    if (fields[0] == "123")
        return true;
    std::array<int, 4> codes{};
    return fields[0].find('.') != std::string_view::npos && SplitRevision(fields[0], codes) >= 2;
}

bool IsIdentityText(std::string_view reply)
{
    if (reply.empty() || StartsWithMaker(reply))
        return false;
    for (char c : reply)
        if (c == ',' || c < ' ' || c > '~')
            return false;
    return true;
}

bool IsVersionText(std::string_view reply)
{
    int major = 0;
    int minor = 0;
    return reply.find(',') == std::string_view::npos && ParseVersion(reply, major, minor) >= 1;
}

bool IsBuildText(std::string_view reply)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return reply.size() >= 2 && isLetter(reply[0]) && ParseWhole(reply.substr(1)).has_value();
}

bool ClassifyDetectionModel(std::string_view model, SCodes& codes)
{
    auto starts = [&](std::string_view prefix) { return model.starts_with(prefix); };
    if (starts("K19-"))
        Set(codes, 2, 4, 7);
    else if (starts("K9"))
        Set(codes, 2, 4, 5);
    else if (model == "K706")
        Set(codes, 2, 4, 4);
    else if (model == "K708")
        Set(codes, 2, 4, 9);
    else if (model == "K705")
        Set(codes, 2, 3, 4);
    else if (starts("D3"))
        Set(codes, 1, 1, 1);
    else if (starts("M609"))
        Set(codes, 2, 15, 25);
    else if (starts("M619"))
        Set(codes, 2, 15, 36);
    else if (starts("M608") || starts("M606"))
        Set(codes, 1, 19, 37);
    else if (starts("M618"))
        Set(codes, 1, 19, 32);
    else if (starts("M607"))
        Set(codes, 3, 20, 38);
    else
        return false;
    return true;
}

bool ClassifyInstrumentModel(std::string_view model, SCodes& codes)
{
    const bool fourChars = model.size() == 4;
    if (fourChars && model.starts_with("K9"))
        Set(codes, 2, 4, 5);
    else if (fourChars && model.starts_with("D3"))
        Set(codes, 1, 1, 1);
    else if (fourChars && model.starts_with("D7"))
        Set(codes, 1, 2, 2);
    else if (model.starts_with("D19-"))
        Set(codes, 1, 2, 3);
    else if (model.starts_with("K19-"))
        Set(codes, 2, 4, 7);
    else if (model == "K706")
        Set(codes, 2, 4, 6);
    else if (model == "K705")
        Set(codes, 2, 3, 4);
    else
        return false;
    return true;
}

} // namespace Identification
