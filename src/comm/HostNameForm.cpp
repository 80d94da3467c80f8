#include "comm/HostNameForm.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace
{
constexpr size_t MaxName = 253;
constexpr size_t MaxLabel = 63;

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
}

// Calls take(label) for each part between dots; false as soon as one is refused.
template <class Take>
bool EachLabel(std::string_view text, Take take)
{
    size_t start = 0;
    while (true)
    {
        const size_t dot = text.find('.', start);
        const std::string_view label = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (!take(label))
            return false;
        if (dot == std::string_view::npos)
            return true;
        start = dot + 1;
    }
}

bool IsQuadPart(std::string_view part)
{
    // A leading zero reads as octal to some resolvers ("010" is 8), so it is refused rather than guessed.
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
        return false;
    int value = 0;
    for (char c : part)
        value = value * 10 + (c - '0');
    return value <= 255;
}

bool IsDottedQuad(std::string_view text)
{
    int parts = 0;
    return EachLabel(text, [&parts](std::string_view part) { return ++parts <= 4 && IsQuadPart(part); }) &&
           parts == 4;
}

bool IsLabel(std::string_view label)
{
    return !label.empty() && label.size() <= MaxLabel && label.front() != '-' && label.back() != '-' &&
           std::all_of(label.begin(), label.end(), IsNameChar);
}

bool IsHostName(std::string_view text)
{
    if (text.size() > MaxName)
        return false;
    std::string_view last;
    const bool labels = EachLabel(text,
                                  [&last](std::string_view label)
                                  {
                                      last = label;
                                      return IsLabel(label);
                                  });
    // A last label of digits only would make a mistyped address pass as a name.
    return labels && !std::all_of(last.begin(), last.end(), IsDigit);
}
bool LooksLikeIpv6(std::string_view text)
{
    const auto colons = std::count(text.begin(), text.end(), ':');
    return colons >= 2 &&
           std::all_of(text.begin(), text.end(),
                       [](char c)
                       { return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.'; });
}
} // namespace

namespace HostNameForm
{
EHostForm Classify(std::string_view host)
{
    if (host.find(':') != std::string_view::npos)
        return LooksLikeIpv6(host) ? EHostForm::Ipv6Literal : EHostForm::BadHostName;
    if (!host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return IsDigit(c) || c == '.'; }))
        return IsDottedQuad(host) ? EHostForm::Ipv4Address : EHostForm::BadIpv4;
    return IsHostName(host) ? EHostForm::HostName : EHostForm::BadHostName;
}
} // namespace HostNameForm
