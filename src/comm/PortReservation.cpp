#include "comm/PortReservation.h"

#include "comm/PortResolver.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
std::mutex g_lock;
std::vector<std::pair<dev_t, ino_t>> g_reserved; // guarded by g_lock
} // namespace

CPortReservation::~CPortReservation()
{
    Release();
}

EOpenFailure CPortReservation::Reserve(int portNumber)
{
    const std::string devicePath = CPortResolver::Resolve(portNumber);
    if (devicePath.empty())
        return EOpenFailure::NoSuchPort;
    return ReservePath(devicePath);
}

EOpenFailure CPortReservation::ReservePath(const std::string& devicePath)
{
    Release();
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return OpenFailureOfErrno(errno);
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode))
    {
        ::close(fd);
        return EOpenFailure::NotATerminal;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? EOpenFailure::InUse : OpenFailureOfErrno(error);
    }
    m_fd = fd;
    m_device = status.st_rdev;
    m_inode = status.st_ino;
    std::lock_guard lock(g_lock);
    g_reserved.emplace_back(m_device, m_inode);
    return EOpenFailure::None;
}

void CPortReservation::Release()
{
    if (m_fd < 0)
        return;
    {
        std::lock_guard lock(g_lock);
        const auto entry = std::find(g_reserved.begin(), g_reserved.end(), std::pair{m_device, m_inode});
        if (entry != g_reserved.end())
            g_reserved.erase(entry);
    }
    ::close(m_fd);
    m_fd = -1;
}

bool CPortReservation::IsReservedHere(int fd)
{
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0)
        return false;
    std::lock_guard lock(g_lock);
    return std::find(g_reserved.begin(), g_reserved.end(), std::pair{status.st_rdev, status.st_ino}) !=
           g_reserved.end();
}
