#include "comm/SerialRS232.h"

#include "comm/PollFor.h"
#include "comm/PortReservation.h"
#include "comm/PortResolver.h"
#include "diag/EventLog.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace
{
speed_t SpeedFor(int baud)
{
    switch (baud)
    {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return B0;
    }
}

bool DeviceGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

constexpr short HangUpEvents = POLLHUP | POLLERR | POLLNVAL;
} // namespace

CSerialRS232::CSerialRS232() : CSerialBase(SerialChannel) {}

CSerialRS232::~CSerialRS232()
{
    CSerialRS232::Close();
}

bool CSerialRS232::OpenPort(int portNumber, int baud)
{
    if (m_isOpen)
        return true;
    const std::string devicePath = CPortResolver::Resolve(portNumber);
    if (devicePath.empty())
        return SetOpenFailure(EOpenFailure::NoSuchPort);
    m_portNumber = portNumber;
    if (OpenPortByName(devicePath, baud))
        return true;
    m_portNumber = 0;
    return false;
}

bool CSerialRS232::OpenPortByName(const std::string& deviceName, int baud)
{
    if (m_isOpen)
        return true;
    if (baud == 0)
        baud = DefaultBaud;

    SetOpenFailure(EOpenFailure::None);
    int fd = ::open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return SetOpenFailure(OpenFailureOfErrno(errno));
    // Not shared: a second program (or a second panel) must see the port as busy. Under this
    // process's reservation the channel takes a share of the reservation's lock instead.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        const int error = errno;
        const int shared = error == EWOULDBLOCK ? CPortReservation::DuplicateReserved(fd) : -1;
        ::close(fd);
        if (shared < 0)
            return SetOpenFailure(error == EWOULDBLOCK ? EOpenFailure::InUse : OpenFailureOfErrno(error));
        fd = shared;
    }
    m_fd = fd;
    if (!ConfigureLine(baud))
    {
        const int error = errno;
        TAMRIX_LOG(ccComm, 1, "COM port %s rejected the line settings (%d baud, err=%d).\r\n",
                   deviceName.c_str(), baud, error);
        ::close(m_fd);
        m_fd = -1;
        return SetOpenFailure(OpenFailureOfErrno(error));
    }
    m_baud = baud;
    m_isOpen = true;
    Purge();
    TAMRIX_LOG(ccComm, 1, "COM port %s opened at %d baud.\r\n", deviceName.c_str(), baud);
    return true;
}

bool CSerialRS232::ConfigureLine(int baud)
{
    const speed_t speed = SpeedFor(baud);
    if (speed == B0)
    {
        errno = EINVAL;
        return false;
    }
    termios settings{};
    if (::tcgetattr(m_fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0)
        return false;
    if (::tcsetattr(m_fd, TCSANOW, &settings) != 0)
        return false;
    // Pseudo-terminals have no modem lines; that is no reason to refuse them.
    const int lines = TIOCM_DTR | TIOCM_RTS;
    return ::ioctl(m_fd, TIOCMBIS, &lines) == 0 || errno == ENOTTY || errno == EINVAL;
}

bool CSerialRS232::Close()
{
    if (m_isOpen && m_fd >= 0)
    {
        ::close(m_fd);
        m_fd = -1;
        m_isOpen = false;
        m_portNumber = 0;
        m_baud = 0;
        m_pending.Clear();
        TAMRIX_LOG(ccComm, 1, "COM port closed.\r\n");
    }
    return true;
}

int CSerialRS232::GetPortNumber() const
{
    return m_portNumber;
}

int CSerialRS232::GetBaud() const
{
    return m_baud;
}

bool CSerialRS232::CloseIfGone(int error)
{
    if (!DeviceGone(error))
        return false;
    Close();
    return true;
}

int CSerialRS232::Read(char* buffer, int capacity, int)
{
    if (!m_isOpen || capacity <= 0)
        return 0;
    if (!m_pending.IsEmpty())
        return m_pending.Take(buffer, capacity);
    return ReadDevice(buffer, capacity);
}

int CSerialRS232::ReadDevice(char* buffer, int capacity)
{
    const ssize_t count = ::read(m_fd, buffer, static_cast<size_t>(capacity));
    if (count > 0)
        return static_cast<int>(count);
    if (count == 0 || errno == EAGAIN || errno == EINTR)
    {
        // A raw terminal reads 0 bytes both when its queue is empty and when the far end is gone;
        // only the poll events tell the two apart.
        if (PollFor(m_fd, POLLIN, 0) & HangUpEvents)
            Close();
        return 0;
    }
    CloseIfGone(errno);
    return 0;
}

bool CSerialRS232::WaitReadable(int waitMs)
{
    if (!m_isOpen)
    {
        // A closed channel finds no bytes; the caller still gets its full time-out.
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        return false;
    }
    return PollFor(m_fd, POLLIN, waitMs) != 0;
}

std::string CSerialRS232::ReadLine(int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    std::string line;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    // Rounded up, so that a wait never ends before the deadline.
    const auto leftMs = [deadline]
    { return std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count(); };
    int received = 0; // bytes of this line taken so far, its end included
    // A reply whose time is known is slept through and taken in one read; while it lay there whole
    // at the first read, when it ended is not known.
    const bool slept = timeoutMs > 0 && SleepUntilReplyDue(deadline);
    int reads = 0;
    for (;;)
    {
        // Block until input arrives rather than reading an empty queue first.
        if (m_pending.IsEmpty() && timeoutMs > 0 &&
            !WaitReadable(static_cast<int>(std::max<long long>(0, leftMs()))))
        {
            if (Clock::now() >= deadline || !m_isOpen)
                break;
            continue;
        }
        char chunk[LineChunk];
        const int count = Read(chunk, LineChunk, 0);
        reads += count > 0 ? 1 : 0;
        const auto appended = m_pending.AppendLine(line, chunk, count, m_lineFeedEndsLine);
        if (appended.strayLineFeeds > 0 && received == 0)
            m_pacing.LineFeedFollowed();
        received += appended.taken;
        const bool ended = appended.ended;
        if (ended)
            m_pacing.LineEnded(received, Clock::now(), !(slept && reads == 1), ByteTime());
        if (ended || !m_isOpen || (count == 0 && timeoutMs <= 0) ||
            (timeoutMs > 0 && Clock::now() > deadline))
            break;
        if (appended.taken > 0 && timeoutMs > 0)
            GatherRest(received, deadline);
    }
    TraceResponse(line);
    return line;
}

std::chrono::nanoseconds CSerialRS232::ByteTime() const
{
    // Start, eight data and stop bits.
    const int baud = std::max(1, m_baud.load());
    return std::chrono::nanoseconds(10 * 1000000000LL / baud);
}

bool CSerialRS232::SleepUntilReplyDue(std::chrono::steady_clock::time_point deadline)
{
    if (!m_pending.IsEmpty() || !m_isOpen)
        return false;
    const auto due = m_pacing.ReplyDue(ByteTime());
    if (!due || *due <= std::chrono::steady_clock::now())
        return false;
    std::this_thread::sleep_until(std::min(deadline, *due));
    return true;
}

void CSerialRS232::GatherRest(int received, std::chrono::steady_clock::time_point deadline)
{
    // Sleeping instead of polling lets the line fill the queue with the rest of the reply, so it is
    // taken in one read; the wait for the last bytes and the deadline are the read loop's as before.
    const auto rest = m_pacing.GatherTime(received, ByteTime());
    if (rest > std::chrono::nanoseconds::zero())
        std::this_thread::sleep_until(std::min(deadline, std::chrono::steady_clock::now() + rest));
}

int CSerialRS232::WriteSome(const char* buffer, int length)
{
    for (;;)
    {
        const ssize_t count = ::write(m_fd, buffer, static_cast<size_t>(length));
        if (count > 0)
            return static_cast<int>(count);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN)
        {
            CloseIfGone(errno);
            return -1;
        }
        const short events = PollFor(m_fd, POLLOUT, WriteTimeoutMs);
        if (events == 0)
            return 0;
        if (events & HangUpEvents)
        {
            Close();
            return -1;
        }
    }
}

int CSerialRS232::Write(const char* buffer, int length)
{
    if (!m_isOpen || length <= 0)
        return 0;
    int sent = 0;
    bool stalled = false;
    while (sent < length && m_isOpen)
    {
        const int count = WriteSome(buffer + sent, length - sent);
        if (count < 0)
            break; // the device is gone and the channel has closed itself
        if (count > 0)
        {
            sent += count;
            stalled = false;
            continue;
        }
        // The byte took nothing for a whole time-out: it fails, and the rest gets a time-out of its own,
        // since a device that only paused takes the line whole when it resumes.
        TAMRIX_LOG(ccComm, 1, "COM port write stalled at byte %d of %d.\r\n", sent + 1, length);
        if (stalled)
        {
            // Two time-outs in a row: the device takes nothing. What is still queued is dropped, so a
            // fragment of this line never reaches the device glued to the next command.
            ::tcflush(m_fd, TCOFLUSH);
            break;
        }
        stalled = true;
    }
    m_pacing.Sent(std::string_view(buffer, static_cast<size_t>(length)));
    TraceCommand(buffer, length);
    return sent;
}

bool CSerialRS232::WriteByte(char byte)
{
    m_pacing.SentUnknown();
    return m_isOpen && WriteSome(&byte, 1) == 1;
}

int CSerialRS232::BytesAvailable()
{
    if (!m_isOpen)
        return 0;
    int queued = 0;
    if (::ioctl(m_fd, FIONREAD, &queued) != 0)
    {
        CloseIfGone(errno);
        return 0;
    }
    return m_pending.GetSize() + queued;
}

void CSerialRS232::Purge()
{
    // Input only: bytes still waiting to go out are a command the caller has just written (a query
    // purges right after the command before it), and discarding them would lose that command.
    m_pending.Clear();
    if (m_isOpen && ::tcflush(m_fd, TCIFLUSH) != 0)
        CloseIfGone(errno);
}
