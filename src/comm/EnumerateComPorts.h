#pragma once

#include "comm/DeviceRoots.h"
#include "comm/SerInfo.h"

#include <string>
#include <vector>

class CPortRegistry;

// Replaces ports with the serial ports present: the serial devices of the system, numbered by the
// process-wide port registry, plus its explicit entries whose paths exist (pseudo-terminals never
// appear among the devices). Numbered ports come first in number order (1 to 255), then the
// unnumbered ones in the order found. Throws CPortDiscoveryError when the devices cannot be listed;
// ports is left unchanged then, so the caller keeps its previous list.
void EnumerateComPorts(std::vector<SSerInfo>& ports);
void EnumerateComPorts(std::vector<SSerInfo>& ports, const SDeviceRoots& roots, CPortRegistry& registry);

// The completion rules applied to every record: an empty friendly name takes the port name; an empty
// description takes the friendly name without a trailing " (...)"; "(COM" followed by a number in
// the friendly name gives portNumber and portName, otherwise portNumber is 0.
void CompleteSerInfo(SSerInfo& port);
// Numbers 1 to 255 in order (equal numbers keep their order), then number 0 in found order; numbers
// above 255 (or below 0) are dropped.
void SortSerInfo(std::vector<SSerInfo>& ports);
// On USB when the location begins with "USB", or with no location the description does; also when
// the description begins with "CP210" (the instruments' own USB bridge). Case is ignored.
bool IsUsbPort(const std::string& location, const std::string& description);
