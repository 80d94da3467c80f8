#include "diag/MemoryProfile.h"

std::string CMemoryProfile::GetString(const std::string& section, const std::string& key,
                                      const std::string& defaultValue) const
{
    std::lock_guard lock(m_lock);
    return m_values.Find(section, key).value_or(defaultValue);
}

bool CMemoryProfile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    if (!CIniFile::IsStorableName(section) || !CIniFile::IsStorableName(key) ||
        !CIniFile::IsStorableValue(value))
        return false;
    std::lock_guard lock(m_lock);
    m_values.Set(section, key, value);
    return true;
}

bool CMemoryProfile::DeleteSection(const std::string& section)
{
    std::lock_guard lock(m_lock);
    m_values.DeleteSection(section);
    return true;
}

bool CMemoryProfile::DeleteKey(const std::string& section, const std::string& key)
{
    std::lock_guard lock(m_lock);
    m_values.DeleteKey(section, key);
    return true;
}
