#pragma once

#include "diag/IniFile.h"
#include "diag/Profile.h"

#include <functional>
#include <mutex>
#include <optional>

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
    // The file's identity as stat(2) gives it: a replaced or rewritten file has another.
    struct SFileStamp
    {
        unsigned long long device = 0;
        unsigned long long inode = 0;
        long long size = -1;
        long long modifiedNs = 0;
        bool operator==(const SFileStamp&) const = default;
    };

    bool Modify(const std::function<void(CIniFile&)>& change);
    // Reads the document into m_cached unless the file is the one read last time, so that reading many
    // keys in one operation reads the file once. False (reported once) when the file is refused. The
    // caller holds m_cacheLock.
    bool Refresh() const;
    void ReportRefused(int error) const;
    static SFileStamp StampOf(const std::string& path);

    std::string m_path;
    mutable std::mutex m_cacheLock;
    mutable CIniFile m_cached;
    mutable std::optional<SFileStamp> m_cachedStamp;
    mutable bool m_refusalReported = false;
};
