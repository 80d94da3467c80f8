#include "instrument/lamp/LpsProtocol.h"

#include "instrument/laser/LaserProtocol.h"

#include <array>

namespace LpsProtocol
{
namespace
{
struct SPollPart
{
    PollFlag flag;
    const char* query;
};

// Poll order: what the line asks first is answered first.
constexpr std::array<SPollPart, 7> kPollParts{{{PollCurrent, ":LPS:I?;"},
                                               {PollCurrentSet, ":LPS:SET:I?;"},
                                               {PollVoltage, ":LPS:V?;"},
                                               {PollVoltageSet, ":LPS:SET:V?;"},
                                               {PollOutput, ":LPS:OUT?;"},
                                               {PollMode, ":LPS:MODE?;"},
                                               {PollVBulk, ":LPS:VBULK?;"}}};

std::vector<std::string_view> SplitFields(std::string_view reply)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true)
    {
        const size_t comma = reply.find(',', start);
        fields.push_back(reply.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

std::string_view Trim(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}
} // namespace

std::string PollQuery(uint32_t upperFlags)
{
    std::string query;
    for (const SPollPart& part : kPollParts)
    {
        if (upperFlags & part.flag)
            query += part.query;
    }
    return query + "ERR?\n";
}

std::optional<SPollReply> ParsePollReply(uint32_t upperFlags, std::string_view reply)
{
    const std::vector<std::string_view> tokens = SplitFields(reply);
    SPollReply parsed;
    size_t next = 0;
    for (const SPollPart& part : kPollParts)
    {
        if (!(upperFlags & part.flag))
            continue;
        if (next >= tokens.size())
            return std::nullopt;
        const std::string_view token = Trim(tokens[next++]);
        SPollField field{part.flag, 0.0, LaserProtocol::CountDecimals(token), std::string(token)};
        if (part.flag != PollMode)
        {
            const auto number = LaserProtocol::ParseNumber(token);
            if (!number)
                return std::nullopt;
            field.value = *number;
        }
        parsed.fields.push_back(std::move(field));
    }
    if (next >= tokens.size())
        return std::nullopt;
    const auto error = LaserProtocol::ParseInteger(Trim(tokens[next]));
    if (!error)
        return std::nullopt;
    // Only error numbers may follow: a longer reply answers another question.
    for (size_t i = next + 1; i < tokens.size(); ++i)
        if (!LaserProtocol::ParseInteger(Trim(tokens[i])))
            return std::nullopt;
    parsed.errorNumber = static_cast<int>(*error);
    return parsed;
}
} // namespace LpsProtocol
