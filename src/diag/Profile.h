#pragma once

#include <string>

// The program's persistent settings: text and integer values by section and key.
// Writes return false when the value could not be stored (names with line breaks, "=" or brackets,
// values with line breaks, or a store that cannot be written); nothing is changed then.
class CProfile
{
public:
    virtual ~CProfile() = default;

    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue = {}) const = 0;
    virtual bool WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    // Removes the section with all its keys; true also when there was no such section.
    virtual bool DeleteSection(const std::string& section) = 0;
    // Removes one key; true also when there was no such key.
    virtual bool DeleteKey(const std::string& section, const std::string& key) = 0;
    // True while writes cannot reach the store because another process holds it.
    virtual bool IsLocked() const { return false; }

    // Integers are stored as decimal text; a missing key or text that is not a whole number gives the
    // default.
    int GetInt(const std::string& section, const std::string& key, int defaultValue = 0) const;
    bool WriteInt(const std::string& section, const std::string& key, int value);
};
