#pragma once

#include "comm/PortDescriptor.h"
#include "ui/panels/PanelTypes.h"

#include <QString>
#include <QStringList>
#include <string>

// The texts a panel shows in its message boxes.
namespace PanelMessages
{
inline const QString PortInUse = "Could not open COM port, it is already in use by another panel or program.";
inline const QString NoPortSelected = "No port is selected. Choose a port in the list, then press Connect.";
inline const QString UnknownController = "An unknown controller type was detected.";
inline const QString NothingDetected = "No Tamrix Instruments controller was detected.";
inline const QString ConnectFailed =
    "Could not connect to instrument. The port was in use, or no instrument was detected. Ensure the "
    "instrument is on and connected, and that no other program has the port open.";
inline const QString CreateFailed = "Unexpected error trying to create instrument object.";
inline const QString UsbDisconnected = "The USB interface was disconnected.";
inline const QString SerialMismatch =
    "The serial number no longer matches the original instrument, forcing a disconnect.";
inline const QString LostCommunications = "Lost communications with the instrument, disconnecting.";
inline const QString UnexpectedDisconnect = "Unexpected disconnect from instrument.";
inline const QString CloseConnectedQuestion =
    "You are connected to an instrument, are you sure you want to disconnect and remove this panel?";
inline const QString CloseQuestion = "Are you sure you want to remove this panel?";

// "COM42" or "10.0.0.5:10001": the port as the panels' lists name it.
inline QString PortName(const std::string& descriptor)
{
    const std::optional<PortDescriptor> parsed = PortDescriptor::Parse(descriptor);
    if (!parsed)
        return QString::fromStdString(descriptor);
    if (parsed->kind == "COM")
        return "COM" + QString::fromStdString(parsed->first);
    return QString::fromStdString(parsed->first + ":" + parsed->second);
}

// The system's text with where it happened after it, for a window with several panels: "... Port
// COM42, panel 2 (TEC)." Panels count from 1, left to right.
inline QString AtPanel(const QString& text, const std::string& descriptor, int index, int typeCode)
{
    return QString("%1 Port %2, panel %3 (%4).")
        .arg(text, PortName(descriptor), QString::number(index + 1), PanelType::SideStripText(typeCode));
}

// "A, B and C".
inline QString JoinNames(const QStringList& names)
{
    if (names.size() <= 1)
        return names.join(QString());
    return names.mid(0, names.size() - 1).join(", ") + " and " + names.last();
}

// "Laser 1 and TEC 1 of the X510 on COM42 are on; they stay on after you disconnect." phrases name the
// outputs of each unit, count is the number of outputs, action what the user is about to do.
inline QString OutputsStayOn(const QStringList& phrases, int count, const QString& action)
{
    return QString("%1 %2 on; %3 on after you %4.")
        .arg(JoinNames(phrases), count == 1 ? "is" : "are", count == 1 ? "it stays" : "they stay", action);
}
} // namespace PanelMessages
