#include "comm/Serial.h"

#include "comm/SerialNET.h"
#include "comm/SerialRS232.h"

#include <utility>

CSerial::CSerial() : CSerialBase(NoChannel) {}

CSerial::~CSerial() = default;

template <typename Channel, typename OpenFn>
bool CSerial::OpenChannel(OpenFn open)
{
    // Under the port lock, so no exchange of another thread runs on the channel being replaced.
    std::lock_guard<std::recursive_mutex> exchange(m_portLock);
    SetOpenFailure(EOpenFailure::None);
    m_lateReplies.Forget(); // a new connection owes nothing
    ReplaceChannel(nullptr);
    auto channel = std::make_unique<Channel>();
    const bool opened = open(*channel);
    m_isOpen = channel->IsOpen();
    ReplaceChannel(std::move(channel));
    return opened;
}

void CSerial::ReplaceChannel(std::unique_ptr<CSerialBase> channel)
{
    std::unique_ptr<CSerialBase> old;
    {
        std::lock_guard<std::mutex> guard(m_channelGuard);
        old = std::exchange(m_channel, std::move(channel));
    }
    // The old channel closes itself as it is destroyed, outside the guard (it writes to the log).
}

bool CSerial::OpenPort(int portNumber, int baud)
{
    return OpenChannel<CSerialRS232>([&](CSerialBase& channel)
                                     { return channel.OpenPort(portNumber, baud); });
}

bool CSerial::OpenPortByName(const std::string& deviceName, int baud)
{
    return OpenChannel<CSerialRS232>([&](CSerialBase& channel)
                                     { return channel.OpenPortByName(deviceName, baud); });
}

bool CSerial::OpenNetwork(const std::string& host, int tcpPort)
{
    return OpenChannel<CSerialNET>([&](CSerialBase& channel) { return channel.OpenNetwork(host, tcpPort); });
}

bool CSerial::Close()
{
    std::lock_guard<std::recursive_mutex> exchange(m_portLock);
    m_isOpen = false;
    m_lateReplies.Forget();
    return m_channel ? m_channel->Close() : false;
}

int CSerial::GetPortNumber() const
{
    std::lock_guard<std::mutex> guard(m_channelGuard);
    return m_channel ? m_channel->GetPortNumber() : 0;
}

int CSerial::GetType() const
{
    std::lock_guard<std::mutex> guard(m_channelGuard);
    return m_channel ? m_channel->GetType() : NoChannel;
}

int CSerial::GetBaud() const
{
    std::lock_guard<std::mutex> guard(m_channelGuard);
    return m_channel ? m_channel->GetBaud() : 0;
}

int CSerial::Read(char* buffer, int capacity, int timeoutMs)
{
    return m_channel ? m_channel->Read(buffer, capacity, timeoutMs) : 0;
}

std::string CSerial::ReadLine(int timeoutMs)
{
    return m_channel ? m_channel->ReadLine(timeoutMs) : std::string();
}

int CSerial::Write(const char* buffer, int length)
{
    return m_channel ? m_channel->Write(buffer, length) : 0;
}

bool CSerial::WriteByte(char byte)
{
    return m_channel ? m_channel->WriteByte(byte) : false;
}

int CSerial::BytesAvailable()
{
    return m_channel ? m_channel->BytesAvailable() : 0;
}

void CSerial::Purge()
{
    if (m_channel)
        m_channel->Purge();
}

std::string CSerial::Query(std::string_view command, int timeoutMs)
{
    std::lock_guard<std::recursive_mutex> exchange(m_portLock);
    Write(command.data(), static_cast<int>(command.size()));
    return ReadLine(timeoutMs);
}

bool CSerial::IsOpen() const
{
    // Asked by other threads (connection watch) while an exchange runs: only the channel guard is taken.
    std::lock_guard<std::mutex> guard(m_channelGuard);
    return m_channel ? m_channel->IsOpen() : false;
}

void CSerial::SetLineFeedEndsLine(bool endsLine)
{
    std::lock_guard<std::mutex> guard(m_channelGuard);
    if (m_channel)
        m_channel->SetLineFeedEndsLine(endsLine);
}

bool CSerial::GetLineFeedEndsLine() const
{
    std::lock_guard<std::mutex> guard(m_channelGuard);
    return m_channel ? m_channel->GetLineFeedEndsLine() : false;
}

CSerial::LockHandle CSerial::Lock()
{
    return std::make_unique<std::unique_lock<std::recursive_mutex>>(m_portLock);
}

void CSerial::Unlock(LockHandle handle)
{
    handle.reset();
}

int CSerial::LockedRead(char* buffer, int capacity, int timeoutMs)
{
    std::lock_guard<std::recursive_mutex> exchange(m_portLock);
    return Read(buffer, capacity, timeoutMs);
}

int CSerial::LockedWriteString(std::string_view text)
{
    std::lock_guard<std::recursive_mutex> exchange(m_portLock);
    return Write(text.data(), static_cast<int>(text.size()));
}

int CSerial::LockedWrite(const char* buffer, int length)
{
    std::lock_guard<std::recursive_mutex> exchange(m_portLock);
    return Write(buffer, length);
}

int CSerial::LockedBytesAvailable()
{
    std::lock_guard<std::recursive_mutex> exchange(m_portLock);
    return BytesAvailable();
}

EOpenFailure CSerial::GetLastOpenFailure() const
{
    // A descriptor refused before any channel was made is the port's own failure.
    if (const EOpenFailure own = CSerialBase::GetLastOpenFailure(); own != EOpenFailure::None)
        return own;
    std::lock_guard<std::mutex> guard(m_channelGuard);
    return m_channel ? m_channel->GetLastOpenFailure() : EOpenFailure::None;
}

int CSerial::GetConnectRoundTripMs() const
{
    std::lock_guard<std::mutex> guard(m_channelGuard);
    return m_channel ? m_channel->GetConnectRoundTripMs() : 0;
}

CLateReplies& CSerial::GetLateReplies()
{
    return m_lateReplies;
}
