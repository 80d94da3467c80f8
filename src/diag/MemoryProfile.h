#pragma once

#include "diag/IniFile.h"
#include "diag/Profile.h"

#include <mutex>

// A profile that lives only in memory, with the same rules as the file store (tests, defaults).
class CMemoryProfile : public CProfile
{
public:
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue = {}) const override;
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override;
    bool DeleteSection(const std::string& section) override;
    bool DeleteKey(const std::string& section, const std::string& key) override;

private:
    mutable std::mutex m_lock;
    CIniFile m_values;
};
