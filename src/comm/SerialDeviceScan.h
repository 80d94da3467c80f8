#pragma once

#include "comm/DeviceRoots.h"

#include <map>
#include <string>
#include <vector>

// A serial device as the kernel and udev describe it, before the port registry numbers it.
struct SSerialDevice
{
    std::string name;        // kernel name, e.g. "ttyUSB0"
    std::string devicePath;  // <devRoot>/<name>
    std::string identity;    // its /dev/serial/by-id link when it has one, else devicePath
    std::string description; // model name from udev or the USB descriptor; "Serial Port" when unknown
    std::string location;    // bus the device sits on ("usb", "pci", "platform", ...), empty when unknown
};

// Lists the serial devices under <sysRoot>/class/tty in natural name order (ttyS2 before ttyS10):
// entries with a device behind them whose node exists under devRoot. UART slots in which the kernel
// found no UART (type 0) are left out. Throws CPortDiscoveryError when the class folder cannot
// be read.
std::vector<SSerialDevice> ScanSerialDevices(const SDeviceRoots& roots);

// The properties ("E:KEY=VALUE" lines) of one udev database file.
std::map<std::string, std::string> ParseUdevProperties(const std::string& text);
// Undoes udev's "\xNN" escapes (ID_MODEL_ENC and the like).
std::string DecodeUdevText(const std::string& text);
