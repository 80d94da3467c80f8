#include "SimPtyTransport.h"

#include "SimWire.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{
speed_t SpeedOf(int baud)
{
    switch (baud)
    {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B38400;
    }
}

std::string Errno(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}
} // namespace

CSimPtyTransport::CSimPtyTransport(CSimEngine& engine, const SSimLineSettings& line)
    : m_engine(engine), m_line(line), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

CSimPtyTransport::~CSimPtyTransport()
{
    Stop();
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

bool CSimPtyTransport::OpenTerminal(std::string& error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
    {
        error = Errno("posix_openpt");
        return false;
    }
    char name[PATH_MAX];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
    {
        error = Errno("pseudo-terminal setup");
        close(master);
        return false;
    }
    const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (slave < 0 || tcgetattr(slave, &settings) != 0)
    {
        error = Errno("pseudo-terminal slave");
        if (slave >= 0)
            close(slave);
        close(master);
        return false;
    }
    // Raw until the program sets its own mode: a cooked slave would echo the unit's replies back.
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    std::lock_guard lock(m_mutex);
    m_master = master;
    m_slave = slave;
    m_path = name;
    UpdateLink();
    return true;
}

void CSimPtyTransport::CloseTerminal()
{
    std::lock_guard lock(m_mutex);
    CloseTerminalLocked();
}

void CSimPtyTransport::CloseTerminalLocked()
{
    if (m_master >= 0)
        close(m_master);
    if (m_slave >= 0)
        close(m_slave);
    m_master = m_slave = -1;
    m_path.clear();
}

// Points the symlink at the current slave; an existing file that is not a symlink is left alone.
void CSimPtyTransport::UpdateLink()
{
    if (m_link.empty() || m_path.empty())
        return;
    struct stat info
    {
    };
    if (lstat(m_link.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        unlink(m_link.c_str());
    symlink(m_path.c_str(), m_link.c_str());
}

bool CSimPtyTransport::Start(const std::string& link, std::string& error)
{
    if (m_thread.joinable())
    {
        error = "the pseudo-terminal is already running";
        return false;
    }
    if (m_wakeFd < 0)
    {
        error = Errno("eventfd");
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_link = link;
    }
    if (!OpenTerminal(error))
        return false;
    struct stat info
    {
    };
    if (!link.empty() && (lstat(link.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)))
    {
        error =
            "cannot create the link " + link + " (an existing file is in the way, or the folder is missing)";
        CloseTerminal();
        return false;
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CSimPtyTransport::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    uint64_t drained = 0;
    [[maybe_unused]] const ssize_t ignored2 = read(m_wakeFd, &drained, sizeof drained);
    std::string link;
    {
        std::lock_guard lock(m_mutex);
        link = m_link;
        char target[PATH_MAX];
        const ssize_t length = link.empty() ? -1 : readlink(link.c_str(), target, sizeof target - 1);
        if (length > 0 && std::string(target, static_cast<size_t>(length)) == m_path)
            unlink(link.c_str());
    }
    CloseTerminal();
}

std::string CSimPtyTransport::Path() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

bool CSimPtyTransport::Unplug()
{
    std::unique_lock lock(m_mutex);
    if (!m_thread.joinable() || m_master < 0)
        return false;
    m_request = ERequest::Unplug;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(m_wakeFd, &one, sizeof one);
    return m_done.wait_for(lock, std::chrono::seconds(5), [this] { return m_request == ERequest::None; });
}

bool CSimPtyTransport::Replug(std::string& error)
{
    if (!m_thread.joinable())
    {
        error = "the pseudo-terminal is not running";
        return false;
    }
    if (!Path().empty())
        return true;
    if (!OpenTerminal(error))
        return false;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(m_wakeFd, &one, sizeof one);
    return true;
}

bool CSimPtyTransport::RateMatches(int slave) const
{
    termios settings{};
    if (tcgetattr(slave, &settings) != 0)
        return false;
    const speed_t wanted = SpeedOf(m_line.baud);
    return cfgetospeed(&settings) == wanted && cfgetispeed(&settings) == wanted;
}

// Applies a pending unplug and drains the wake counter; returns the descriptors to serve.
std::pair<int, int> CSimPtyTransport::TakeRequests()
{
    std::lock_guard lock(m_mutex);
    uint64_t drained = 0;
    [[maybe_unused]] const ssize_t ignored = read(m_wakeFd, &drained, sizeof drained);
    if (m_request == ERequest::Unplug)
    {
        CloseTerminalLocked();
        m_request = ERequest::None;
        m_done.notify_all();
    }
    return {m_master, m_slave};
}

void CSimPtyTransport::Run()
{
    SSimSession session;
    CSimWire wire(m_line, m_wakeFd);
    char buffer[4096];
    while (!m_stop)
    {
        const auto [master, slave] = TakeRequests();
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {master, POLLIN, 0}};
        const int ready = poll(fds, master >= 0 ? 2 : 1, kPollMs);
        if (ready <= 0 || master < 0 || (fds[0].revents & POLLIN) || !(fds[1].revents & POLLIN))
        {
            if (master < 0)
                session = {};
            continue;
        }
        const ssize_t count = read(master, buffer, sizeof buffer);
        if (count <= 0)
            continue;
        if (!RateMatches(slave))
        {
            session = {}; // at the wrong rate the unit hears only noise
            continue;
        }
        if (!wire.Received(static_cast<size_t>(count)))
            continue;
        const std::string out =
            m_engine.Receive(session, std::string_view(buffer, static_cast<size_t>(count)));
        if (out.empty())
            continue;
        const int delayMs = m_engine.Faults().delayMs;
        if (delayMs > 0 && !wire.Sleep(std::chrono::milliseconds(delayMs)))
            continue;
        wire.Send(master, out, false);
    }
}
