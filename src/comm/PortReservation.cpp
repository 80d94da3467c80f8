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
struct SReserved
{
    dev_t device;
    ino_t inode;
    int fd;
};

std::mutex g_lock;
std::vector<SReserved> g_reserved; // guarded by g_lock
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
    g_reserved.push_back({m_device, m_inode, m_fd});
    return EOpenFailure::None;
}

void CPortReservation::Release()
{
    if (m_fd < 0)
        return;
    {
        std::lock_guard lock(g_lock);
        const auto entry = std::find_if(g_reserved.begin(), g_reserved.end(),
                                        [this](const SReserved& held) { return held.fd == m_fd; });
        if (entry != g_reserved.end())
            g_reserved.erase(entry);
    }
    ::close(m_fd);
    m_fd = -1;
}

int CPortReservation::DuplicateReserved(int fd)
{
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0)
        return -1;
    std::lock_guard lock(g_lock);
    const auto entry = std::find_if(g_reserved.begin(), g_reserved.end(),
                                    [&](const SReserved& held)
                                    { return held.device == status.st_rdev && held.inode == status.st_ino; });
    return entry == g_reserved.end() ? -1 : ::fcntl(entry->fd, F_DUPFD_CLOEXEC, 0);
}
