#include "ui/panels/PanelMessages.h"

#include "comm/PortDescriptor.h"
#include "comm/Serial.h"

namespace PanelMessages
{
std::string OpenFailure(const std::string& descriptor, const CSerial&)
{
    const auto parsed = PortDescriptor::Parse(descriptor);
    if (parsed && parsed->kind == "TCP")
        return "Unable to connect to TCP/IP port " + parsed->first + ":" + parsed->second + ".";
    return PortInUse.toStdString();
}
} // namespace PanelMessages
