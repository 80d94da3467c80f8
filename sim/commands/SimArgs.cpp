#include "commands/SimArgs.h"

#include "SimText.h"

namespace simargs
{
std::optional<std::vector<double>> Numbers(std::string_view args, size_t count)
{
    const auto fields = simtext::SplitArgs(args);
    if (fields.size() != count)
        return std::nullopt;
    std::vector<double> values;
    for (std::string_view field : fields)
    {
        const auto value = simtext::ToDouble(field);
        if (!value)
            return std::nullopt;
        values.push_back(*value);
    }
    return values;
}

std::optional<double> Number(std::string_view args)
{
    const auto values = Numbers(args, 1);
    return values ? std::optional<double>((*values)[0]) : std::nullopt;
}

std::optional<long long> Integer(std::string_view args)
{
    std::string_view text = simtext::Trim(args);
    if (!text.empty() && (text.back() == 's' || text.back() == 'S'))
        text.remove_suffix(1);
    return simtext::ToInt(text);
}

int ParseError(std::string_view args, size_t count)
{
    return simtext::SplitArgs(args).size() != count ? kWrongCount : kBadParameter;
}

SSimResult Status(int error)
{
    return error == 0 ? SSimResult::Done() : SSimResult::Error(error);
}

SSimResult Fixed(double value, int decimals)
{
    return SSimResult::Answer(simtext::Fixed(value, decimals));
}

SSimResult Int(long long value)
{
    return SSimResult::Answer(std::to_string(value));
}

SSimResult List(const std::vector<double>& values, const std::vector<int>& decimals)
{
    std::string text;
    for (size_t i = 0; i < values.size(); ++i)
    {
        if (i > 0)
            text += ", ";
        text += simtext::Fixed(values[i], i < decimals.size() ? decimals[i] : decimals.back());
    }
    return SSimResult::Answer(text);
}
} // namespace simargs
