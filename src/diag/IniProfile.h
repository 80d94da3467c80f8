#pragma once

#include "diag/IniFile.h"
#include "diag/Profile.h"

#include <functional>

// The profile stored in an INI file, shared safely by several processes (the application and the
// command-line tool): every write re-reads the file under an exclusive lock on "<file>.lock",
// applies the change and replaces the file atomically, so no change is lost and a crash never leaves
// half a file. Reads need no lock because the file is only ever replaced whole.
class CIniProfile : public CProfile
{
public:
    // $XDG_CONFIG_HOME/Tamrix Instruments/Tamrix Control.ini (default ~/.config/...).
    CIniProfile();
    explicit CIniProfile(std::string path);

    static std::string DefaultPath();
    const std::string& Path() const { return m_path; }

    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue = {}) const override;
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override;
    bool DeleteSection(const std::string& section) override;
    bool DeleteKey(const std::string& section, const std::string& key) override;

private:
    bool Modify(const std::function<void(CIniFile&)>& change);

    std::string m_path;
};
