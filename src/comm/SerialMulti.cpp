#include "comm/SerialMulti.h"

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

bool CSerialMulti::OpenSharedDescriptor(const PortDescriptor& descriptor)
{
    if (descriptor.kind == "COM")
        return CSerial::OpenPort(PortDescriptor::ToInt(descriptor.first),
                                 PortDescriptor::ToInt(descriptor.second));
    if (descriptor.kind == "TCP")
        return OpenNetwork(descriptor.first, PortDescriptor::ToInt(descriptor.second));
    return false;
}

bool CSerialMulti::CloseSharedPort()
{
    return Close();
}
