#include "comm/SerialBase.h"

#include "comm/PortDescriptor.h"
#include "diag/EventLog.h"

bool CSerialBase::OpenDescriptor(const std::string& descriptor)
{
    const std::optional<PortDescriptor> parsed = PortDescriptor::Parse(descriptor);
    if (!parsed)
        return SetOpenFailure(EOpenFailure::BadDescriptor);
    if (parsed->kind == "COM")
        return OpenPort(PortDescriptor::ToInt(parsed->first), PortDescriptor::ToInt(parsed->second));
    if (parsed->kind == "TCP")
        return OpenNetwork(parsed->first, PortDescriptor::ToInt(parsed->second));
    return SetOpenFailure(EOpenFailure::BadDescriptor);
}

EOpenFailure CSerialBase::GetLastOpenFailure() const
{
    return m_openFailure.load();
}

bool CSerialBase::SetOpenFailure(EOpenFailure failure)
{
    m_openFailure.store(failure);
    return false;
}

bool CSerialBase::OpenNetwork(const std::string&, int)
{
    return SetOpenFailure(EOpenFailure::BadDescriptor);
}

int CSerialBase::GetPortNumber() const
{
    return 0;
}

int CSerialBase::GetBaud() const
{
    return 0;
}

int CSerialBase::GetType() const
{
    return m_channelType;
}

int CSerialBase::WriteString(std::string_view text)
{
    return Write(text.data(), static_cast<int>(text.size()));
}

std::string CSerialBase::Query(std::string_view command, int timeoutMs)
{
    WriteString(command);
    return ReadLine(timeoutMs);
}

bool CSerialBase::IsOpen() const
{
    return m_isOpen;
}

void CSerialBase::SetLineFeedEndsLine(bool endsLine)
{
    m_lineFeedEndsLine = endsLine;
}

bool CSerialBase::GetLineFeedEndsLine() const
{
    return m_lineFeedEndsLine;
}

bool CSerialBase::AppendReplyByte(std::string& line, char byte, bool lineFeedEndsLine)
{
    if (byte == '\r')
        return true;
    if (byte == '\n')
        return lineFeedEndsLine;
    line.push_back(byte);
    return false;
}

void CSerialBase::TraceCommand(const char* buffer, int length)
{
    TAMRIX_LOG(ccComm, 2, "Command: %.*s\n", length, buffer);
}

void CSerialBase::TraceResponse(const std::string& line)
{
    TAMRIX_LOG(ccComm, 2, "Response: %.*s\n", static_cast<int>(line.size()), line.data());
}

int CSerialBase::GetConnectRoundTripMs() const
{
    return 0;
}
