#include "comm/SerialMulti.h"

#include "comm/PortDescriptor.h"

#include <optional>

bool CSerialMulti::OpenPort(int, int)
{
    return IsOpen();
}

bool CSerialMulti::OpenDescriptor(const std::string&)
{
    return IsOpen();
}

bool CSerialMulti::OpenSharedPort(int portNumber, int baud)
{
    return CSerial::OpenPort(portNumber, baud);
}

bool CSerialMulti::OpenSharedDescriptor(const std::string& descriptor)
{
    const std::optional<PortDescriptor> parsed = PortDescriptor::Parse(descriptor);
    if (!parsed)
        return false;
    if (parsed->kind == "COM")
        return CSerial::OpenPort(PortDescriptor::ToInt(parsed->first), PortDescriptor::ToInt(parsed->second));
    if (parsed->kind == "TCP")
        return OpenNetwork(parsed->first, PortDescriptor::ToInt(parsed->second));
    return false;
}

bool CSerialMulti::CloseSharedPort()
{
    return Close();
}
