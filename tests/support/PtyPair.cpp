#include "support/PtyPair.h"

#include "support/FdWait.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace
{
struct SpeedEntry
{
    int baud;
    speed_t speed;
};

constexpr SpeedEntry Speeds[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},    {9600, B9600},
                                 {19200, B19200},   {38400, B38400},   {57600, B57600},  {115200, B115200},
                                 {230400, B230400}, {460800, B460800}, {921600, B921600}};
} // namespace

PtyPair::PtyPair()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128] = {};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    m_slavePath = name;
    termios settings{};
    ::tcgetattr(m_master, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(m_master, TCSANOW, &settings);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0)
        throw std::runtime_error("cannot open the pseudo-terminal's slave side");
    // Raw from the start, so nothing written before the channel opens is echoed or cooked.
    ::tcgetattr(m_slave, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(m_slave, TCSANOW, &settings);
}

PtyPair::~PtyPair()
{
    CloseMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::Write(std::string_view bytes, int timeoutMs)
{
    return FdWait::WriteAll(m_master, bytes, timeoutMs);
}

std::string PtyPair::ReadUntil(char terminator, int timeoutMs)
{
    return FdWait::ReadUntil(m_master, terminator, timeoutMs);
}

std::string PtyPair::ReadCount(size_t count, int timeoutMs)
{
    return FdWait::ReadCount(m_master, count, timeoutMs);
}

void PtyPair::CloseMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

int PtyPair::SlaveBaud() const
{
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return 0;
    for (const SpeedEntry& entry : Speeds)
        if (entry.speed == ::cfgetospeed(&settings))
            return entry.baud;
    return 0;
}

bool PtyPair::SetSlaveBaud(int baud)
{
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return false;
    for (const SpeedEntry& entry : Speeds)
        if (entry.baud == baud)
            return ::cfsetspeed(&settings, entry.speed) == 0 && ::tcsetattr(m_slave, TCSANOW, &settings) == 0;
    return false;
}
