#include "diag/IniProfile.h"

#include "diag/DiagSink.h"
#include "diag/FileUtil.h"
#include "diag/ProgramPaths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
// Holds an exclusive flock on a lock file beside the store; closing the descriptor releases it, also
// when the process dies. A holder keeps it only for one read-modify-write, so a longer wait means a
// holder that stopped or hangs.
class CLockFile
{
public:
    CLockFile(const std::string& path, std::chrono::milliseconds wait)
        : m_fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        if (m_fd >= 0 && !Acquire(wait))
        {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~CLockFile()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    CLockFile(const CLockFile&) = delete;
    CLockFile& operator=(const CLockFile&) = delete;
    bool Held() const { return m_fd >= 0; }
    // The wait ran out while another descriptor held the lock.
    bool Busy() const { return m_busy; }

private:
    // The holder is another descriptor, mostly another process, so nothing can wake this one: it
    // looks again in steps that grow to 50 ms.
    bool Acquire(std::chrono::milliseconds wait)
    {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + wait;
        milliseconds step(1);
        for (;;)
        {
            if (flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return true;
            const int error = errno;
            if (error == EINTR)
                continue;
            const auto now = steady_clock::now();
            if (error != EWOULDBLOCK || now >= deadline)
            {
                m_busy = error == EWOULDBLOCK;
                return false;
            }
            std::this_thread::sleep_for(std::min<steady_clock::duration>(step, deadline - now));
            step = std::min(step * 2, milliseconds(50));
        }
    }

    int m_fd;
    bool m_busy = false;
};
} // namespace

CIniProfile::CIniProfile() : CIniProfile(DefaultPath()) {}

CIniProfile::CIniProfile(std::string path) : m_path(std::move(path)) {}

std::string CIniProfile::DefaultPath()
{
    return CProgramPaths::UserDirectory("XDG_CONFIG_HOME", ".config") +
           "/Tamrix Instruments/Tamrix Control.ini";
}

std::string CIniProfile::GetString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const
{
    std::lock_guard lock(m_cacheLock);
    if (!Refresh())
        return defaultValue;
    return m_cached.Find(section, key).value_or(defaultValue);
}

CIniProfile::SFileStamp CIniProfile::StampOf(const std::string& path)
{
    struct stat status
    {
    };
    if (stat(path.c_str(), &status) != 0)
        return {};
    return {static_cast<unsigned long long>(status.st_dev), static_cast<unsigned long long>(status.st_ino),
            static_cast<long long>(status.st_size),
            static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec};
}

bool CIniProfile::Refresh() const
{
    const SFileStamp stamp = StampOf(m_path);
    if (m_cachedStamp && *m_cachedStamp == stamp)
        return true;
    m_cachedStamp.reset();
    if (!m_cached.Load(m_path))
    {
        ReportRefused(errno);
        return false;
    }
    m_cachedStamp = stamp;
    for (const Change& change : m_pending)
        change(m_cached);
    return true;
}

void CIniProfile::ReportRefused(int error) const
{
    if (m_refusalReported || (error != EINVAL && error != EFBIG))
        return;
    m_refusalReported = true;
    CDiagSink::Write(std::string(program_invocation_short_name) + ": the settings file \"" + m_path +
                     (error == EFBIG ? "\" is larger than 1 MiB" : "\" is not a regular file") +
                     "; it is neither read nor changed\n");
}

bool CIniProfile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    if (!CIniFile::IsStorableName(section) || !CIniFile::IsStorableName(key) ||
        !CIniFile::IsStorableValue(value))
        return false;
    return Modify([section, key, value](CIniFile& ini) { ini.Set(section, key, value); });
}

bool CIniProfile::DeleteSection(const std::string& section)
{
    return Modify([section](CIniFile& ini) { ini.DeleteSection(section); });
}

bool CIniProfile::DeleteKey(const std::string& section, const std::string& key)
{
    return Modify([section, key](CIniFile& ini) { ini.DeleteKey(section, key); });
}

bool CIniProfile::Modify(const Change& change)
{
    if (Save(change, WaitNow()))
        return true;
    return m_locked && m_keepWhileLocked && Keep(change);
}

// After one wait has run out the holder is taken to be stuck: later writes only look once.
std::chrono::milliseconds CIniProfile::WaitNow() const
{
    return m_locked ? std::chrono::milliseconds(0) : m_lockWait;
}

bool CIniProfile::Save(const Change& change, std::chrono::milliseconds wait)
{
    if (!fileutil::MakeDirectories(fileutil::DirectoryOf(m_path)))
        return false;
    const CLockFile lock(m_path + ".lock", wait);
    if (lock.Busy())
    {
        m_locked = true;
        ReportLocked();
        return false;
    }
    CIniFile ini;
    // A file that exists but cannot be read is left alone rather than overwritten with less.
    if (!lock.Held() || !ini.Load(m_path))
    {
        const int error = errno;
        std::lock_guard cacheLock(m_cacheLock);
        ReportRefused(error);
        return false;
    }
    m_locked = false;
    m_lockReported = false;
    // Only a holder of the file lock removes kept changes, so these stay the first ones in the list.
    std::vector<Change> kept;
    {
        std::lock_guard cacheLock(m_cacheLock);
        kept = m_pending;
    }
    for (const Change& earlier : kept)
        earlier(ini);
    if (change)
        change(ini);
    if (!fileutil::ReplaceFile(m_path, ini.Serialize()))
        return false;
    std::lock_guard cacheLock(m_cacheLock);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(kept.size()));
    return true;
}

bool CIniProfile::Keep(const Change& change)
{
    std::lock_guard cacheLock(m_cacheLock);
    const bool cacheCurrent = m_cachedStamp && *m_cachedStamp == StampOf(m_path);
    m_pending.push_back(change);
    // A reload applies every kept change, this one included.
    if (cacheCurrent)
        change(m_cached);
    else
        Refresh();
    return true;
}

void CIniProfile::ReportLocked()
{
    if (m_lockReported.exchange(true))
        return;
    CDiagSink::Write(std::string(program_invocation_short_name) + ": the settings file \"" + m_path +
                     "\" cannot be saved: its lock \"" + m_path + ".lock\" is held by another process" +
                     (m_keepWhileLocked ? "; changes are kept and saved once it is free\n" : "\n"));
}

bool CIniProfile::ProbeLock()
{
    if (!fileutil::MakeDirectories(fileutil::DirectoryOf(m_path)))
        return true; // nothing to wait for; the writes will say what is wrong
    const CLockFile lock(m_path + ".lock", m_lockWait);
    if (!lock.Busy())
        return true;
    m_locked = true;
    ReportLocked();
    return false;
}

bool CIniProfile::HasPending() const
{
    std::lock_guard cacheLock(m_cacheLock);
    return !m_pending.empty();
}

bool CIniProfile::SavePending(std::chrono::milliseconds wait)
{
    return !HasPending() || Save(nullptr, wait);
}
