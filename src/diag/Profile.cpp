#include "diag/Profile.h"

#include <charconv>

int CProfile::GetInt(const std::string& section, const std::string& key, int defaultValue) const
{
    const std::string text = GetString(section, key);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty() ? value : defaultValue;
}

bool CProfile::WriteInt(const std::string& section, const std::string& key, int value)
{
    return WriteString(section, key, std::to_string(value));
}
