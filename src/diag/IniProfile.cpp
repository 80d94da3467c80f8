#include "diag/IniProfile.h"

#include "diag/DiagSink.h"
#include "diag/FileUtil.h"
#include "diag/ProgramPaths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Holds an exclusive flock on a lock file beside the store; closing the descriptor releases it, also
// when the process dies. The holder keeps it only for one read-modify-write, so the wait is short.
class CLockFile
{
public:
    explicit CLockFile(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        while (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0)
        {
            if (errno != EINTR)
            {
                close(m_fd);
                m_fd = -1;
            }
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

private:
    int m_fd;
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
    return Modify([&](CIniFile& ini) { ini.Set(section, key, value); });
}

bool CIniProfile::DeleteSection(const std::string& section)
{
    return Modify([&](CIniFile& ini) { ini.DeleteSection(section); });
}

bool CIniProfile::DeleteKey(const std::string& section, const std::string& key)
{
    return Modify([&](CIniFile& ini) { ini.DeleteKey(section, key); });
}

bool CIniProfile::Modify(const std::function<void(CIniFile&)>& change)
{
    if (!fileutil::MakeDirectories(fileutil::DirectoryOf(m_path)))
        return false;
    const CLockFile lock(m_path + ".lock");
    CIniFile ini;
    // A file that exists but cannot be read is left alone rather than overwritten with less.
    if (!lock.Held() || !ini.Load(m_path))
    {
        const int error = errno;
        std::lock_guard cacheLock(m_cacheLock);
        ReportRefused(error);
        return false;
    }
    change(ini);
    return fileutil::ReplaceFile(m_path, ini.Serialize());
}
