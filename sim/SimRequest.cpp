#include "SimRequest.h"

#include "SimText.h"

#include <cctype>

namespace
{
SSimPart ParsePart(std::string_view text)
{
    SSimPart part;
    text = simtext::Trim(text);
    if (!text.empty() && text.front() == ':')
    {
        part.absolute = true;
        text.remove_prefix(1);
    }
    size_t end = 0;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
        ++end;
    part.header = simtext::Upper(text.substr(0, end));
    part.args = std::string(simtext::Trim(text.substr(end)));
    return part;
}
} // namespace

std::vector<SSimPart> ParseSimLine(std::string_view line)
{
    std::vector<SSimPart> parts;
    for (;;)
    {
        const size_t semicolon = line.find(';');
        SSimPart part = ParsePart(line.substr(0, semicolon));
        if (!part.header.empty())
            parts.push_back(std::move(part));
        if (semicolon == std::string_view::npos)
            return parts;
        line.remove_prefix(semicolon + 1);
    }
}

std::string SimHeaderPath(std::string_view header)
{
    const size_t colon = header.rfind(':');
    return colon == std::string_view::npos ? std::string() : std::string(header.substr(0, colon + 1));
}
