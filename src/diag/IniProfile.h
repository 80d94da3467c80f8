#pragma once

#include "diag/IniFile.h"
#include "diag/Profile.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// The profile stored in an INI file, shared safely by several processes (the application and the
// command-line tool): every write re-reads the file under an exclusive lock on "<file>.lock",
// applies the change and replaces the file atomically, so no change is lost and a crash never leaves
// half a file. Reads need no lock because the file is only ever replaced whole.
// A lock held by a process that stopped or hangs while saving is waited for only so long (LockWait);
// then the write fails, the file is named once on the diagnostic output, and later writes of this
// run try the lock once without waiting. A profile told to keep changes while locked (the desktop
// program) keeps them in memory instead, shows them to its readers and saves them later.
class CIniProfile : public CProfile
{
public:
    // $XDG_CONFIG_HOME/Tamrix Instruments/Tamrix Control.ini (default ~/.config/...).
    CIniProfile();
    explicit CIniProfile(std::string path);

    static std::string DefaultPath();
    const std::string& Path() const { return m_path; }

    static constexpr std::chrono::milliseconds DefaultLockWait{3000};
    // Both set before other threads use the profile.
    void SetLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }
    void KeepChangesWhileLocked(bool keep) { m_keepWhileLocked = keep; }
    // True after a wait for the lock ran out, until a later write gets it.
    bool IsLocked() const override { return m_locked; }
    // Takes the lock (waiting LockWait at most) and lets it go again: false when another process
    // holds it.
    bool ProbeLock();
    bool HasPending() const;
    // Writes the changes kept while the store was locked, waiting for the lock at most this long;
    // true when none is left.
    bool SavePending(std::chrono::milliseconds wait);

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

    using Change = std::function<void(CIniFile&)>;

    bool Modify(const Change& change);
    // Applies the kept changes and then this one to the file under the lock.
    bool Save(const Change& change, std::chrono::milliseconds wait);
    bool Keep(const Change& change);
    void ReportLocked();
    // Reads the document into m_cached unless the file is the one read last time, so that reading many
    // keys in one operation reads the file once. False (reported once) when the file is refused. The
    // caller holds m_cacheLock.
    bool Refresh() const;
    void ReportRefused(int error) const;
    std::chrono::milliseconds WaitNow() const;
    static SFileStamp StampOf(const std::string& path);

    std::string m_path;
    mutable std::mutex m_cacheLock;
    mutable CIniFile m_cached;
    mutable std::optional<SFileStamp> m_cachedStamp;
    mutable bool m_refusalReported = false;
    std::chrono::milliseconds m_lockWait = DefaultLockWait;
    bool m_keepWhileLocked = false;
    std::atomic<bool> m_locked{false};
    std::atomic<bool> m_lockReported{false};
    std::vector<Change> m_pending; // under m_cacheLock
};
