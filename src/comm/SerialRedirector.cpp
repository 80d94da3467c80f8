#include "comm/SerialRedirector.h"

#include "comm/SerialMulti.h"

#include <utility>

CSerialRedirector::CSerialRedirector(CSerialMulti* target) : m_target(target) {}

bool CSerialRedirector::OpenPort(int portNumber, int baud)
{
    return m_target->OpenPort(portNumber, baud);
}

bool CSerialRedirector::OpenPortByName(const std::string& deviceName, int baud)
{
    return m_target->OpenPortByName(deviceName, baud);
}

bool CSerialRedirector::OpenNetwork(const std::string& host, int tcpPort)
{
    return m_target->OpenNetwork(host, tcpPort);
}

bool CSerialRedirector::Close()
{
    return m_target->Close();
}

int CSerialRedirector::GetPortNumber() const
{
    return m_target->GetPortNumber();
}

int CSerialRedirector::GetBaud() const
{
    return m_target->GetBaud();
}

CLinkSilence& CSerialRedirector::Silence()
{
    return m_target->Silence();
}

int CSerialRedirector::Read(char* buffer, int capacity, int timeoutMs)
{
    return m_target->Read(buffer, capacity, timeoutMs);
}

std::string CSerialRedirector::ReadLine(int timeoutMs)
{
    return m_target->ReadLine(timeoutMs);
}

int CSerialRedirector::Write(const char* buffer, int length)
{
    return m_target->Write(buffer, length);
}

bool CSerialRedirector::WriteByte(char byte)
{
    return m_target->WriteByte(byte);
}

int CSerialRedirector::WriteString(std::string_view text)
{
    return m_target->WriteString(text);
}

int CSerialRedirector::BytesAvailable()
{
    return m_target->BytesAvailable();
}

void CSerialRedirector::Purge()
{
    m_target->Purge();
}

std::string CSerialRedirector::Query(std::string_view command, int timeoutMs)
{
    return m_target->Query(command, timeoutMs);
}

bool CSerialRedirector::IsOpen() const
{
    return m_target->IsOpen();
}

void CSerialRedirector::SetLineFeedEndsLine(bool endsLine)
{
    m_target->SetLineFeedEndsLine(endsLine);
}

bool CSerialRedirector::GetLineFeedEndsLine() const
{
    return m_target->GetLineFeedEndsLine();
}

CSerial::LockHandle CSerialRedirector::Lock()
{
    return m_target->Lock();
}

void CSerialRedirector::Unlock(LockHandle handle)
{
    m_target->Unlock(std::move(handle));
}

int CSerialRedirector::LockedRead(char* buffer, int capacity, int timeoutMs)
{
    return m_target->LockedRead(buffer, capacity, timeoutMs);
}

int CSerialRedirector::LockedWriteString(std::string_view text)
{
    return m_target->LockedWriteString(text);
}

int CSerialRedirector::LockedWrite(const char* buffer, int length)
{
    return m_target->LockedWrite(buffer, length);
}

int CSerialRedirector::LockedBytesAvailable()
{
    return m_target->LockedBytesAvailable();
}

int CSerialRedirector::GetConnectRoundTripMs() const
{
    return m_target->GetConnectRoundTripMs();
}

CLateReplies& CSerialRedirector::GetLateReplies()
{
    return m_target->GetLateReplies();
}
