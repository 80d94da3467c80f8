#pragma once

#include <QString>

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
} // namespace PanelMessages
