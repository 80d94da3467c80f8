#include "ui/common/PortChoices.h"

#include "comm/EnumerateComPorts.h"
#include "comm/PortDiscoveryError.h"
#include "comm/PortRegistry.h"
#include "comm/SerInfo.h"

#include <algorithm>

namespace
{
// The description the discovery completed from the friendly name (the path itself for a registered
// pseudo-terminal), then where the device node is.
QString Detail(const SSerInfo& port)
{
    const QString path = QString::fromStdString(port.devicePath);
    if (port.description.empty() || port.description == port.devicePath)
        return path;
    return QString::fromStdString(port.description) + ", " + path;
}
} // namespace

namespace PortChoices
{
std::vector<SSerialChoice> SerialPorts()
{
    std::vector<SSerInfo> ports;
    try
    {
        EnumerateComPorts(ports);
    }
    catch (const CPortDiscoveryError&)
    {
        // No device list this time: the registered ports are still named below.
    }
    std::vector<SSerialChoice> choices;
    for (const SSerInfo& port : ports)
        if (port.portNumber >= CPortRegistry::MinPort && port.portNumber <= CPortRegistry::MaxPort)
            choices.push_back({port.portNumber, Detail(port), true});
    for (const auto& [number, path] : CPortRegistry::Instance().ExplicitEntries())
    {
        const bool listed =
            std::any_of(choices.begin(), choices.end(),
                        [number = number](const SSerialChoice& c) { return c.number == number; });
        if (!listed)
            choices.push_back({number, QString::fromStdString(path), false});
    }
    return choices;
}

QString Text(const SSerialChoice& port, int heldBy)
{
    QString text = QString("COM%1").arg(port.number);
    if (!port.detail.isEmpty())
        text += " (" + port.detail + ")";
    if (!port.present)
        text += " - missing";
    else if (heldBy != NotHeld)
        text += QString(" - in use by panel %1").arg(heldBy + 1);
    return text;
}
} // namespace PortChoices
