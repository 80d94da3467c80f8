#include "instrument/report/CsvFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr const char* kRemoved = "the file was removed while it was written";
} // namespace

bool CCsvFile::Open(const std::string& path)
{
    m_error.clear();
    m_file.reset(std::fopen(path.c_str(), "w"));
    return m_file != nullptr || Fail();
}

bool CCsvFile::WriteLine(const std::string& line)
{
    if (!m_file)
        return true;
    const bool written = std::fputs(line.c_str(), m_file.get()) >= 0 && std::fputc('\n', m_file.get()) != EOF;
    if (std::fflush(m_file.get()) != 0 || !written)
        return Fail();
    if (Removed())
    {
        m_error = kRemoved;
        errno = ENOENT;
        return false;
    }
    return true;
}

bool CCsvFile::Close()
{
    if (!m_file)
        return true;
    bool ok = std::fflush(m_file.get()) == 0;
    // A device that cannot be synced (a pipe, /dev/null) has nothing to lose.
    if (ok && ::fsync(fileno(m_file.get())) != 0 && errno != EINVAL && errno != EROFS)
        ok = false;
    if (!ok)
        Fail();
    const bool removed = Removed();
    const int savedErrno = errno;
    std::FILE* file = m_file.release();
    if (std::fclose(file) != 0)
        return Fail();
    errno = savedErrno;
    if (ok && removed)
    {
        m_error = kRemoved;
        errno = ENOENT;
        return false;
    }
    return ok;
}

bool CCsvFile::Fail()
{
    m_error = std::strerror(errno);
    return false;
}

bool CCsvFile::Removed() const
{
    // A file that was deleted has no name left: whatever is written to it is lost on close.
    struct stat status
    {
    };
    return ::fstat(fileno(m_file.get()), &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 0;
}
