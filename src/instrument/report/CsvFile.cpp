#include "instrument/report/CsvFile.h"

#include <cerrno>
#include <unistd.h>

bool CCsvFile::Open(const std::string& path)
{
    m_file.reset(std::fopen(path.c_str(), "w"));
    return m_file != nullptr;
}

bool CCsvFile::WriteLine(const std::string& line)
{
    if (!m_file)
        return true;
    const bool written = std::fputs(line.c_str(), m_file.get()) >= 0 && std::fputc('\n', m_file.get()) != EOF;
    return std::fflush(m_file.get()) == 0 && written;
}

bool CCsvFile::Close()
{
    if (!m_file)
        return true;
    bool ok = std::fflush(m_file.get()) == 0;
    // A device that cannot be synced (a pipe, /dev/null) has nothing to lose.
    if (ok && ::fsync(fileno(m_file.get())) != 0 && errno != EINVAL && errno != EROFS)
        ok = false;
    const int savedErrno = errno;
    std::FILE* file = m_file.release();
    if (std::fclose(file) != 0)
        ok = false;
    else
        errno = savedErrno;
    return ok;
}
