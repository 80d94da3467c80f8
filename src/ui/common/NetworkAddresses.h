#pragma once

#include <QString>
#include <string>
#include <vector>

class CProfile;

// One saved network address of an instrument.
struct SNetworkAddress
{
    std::string address; // host name or dotted address, as typed
    int port = 0;        // TCP port
    std::string name;    // free text shown after the address
};

// The saved address list, section "IPAddresses": "IPAddress%d", "IPPort%d", "IPName%d" numbered from 1
// without gaps. The panels' port lists and the address editor share it (and tamrix-cli reads it).
namespace NetworkAddresses
{
// Entries 1, 2, ... up to the first whose address is empty or whose port is missing.
std::vector<SNetworkAddress> Read(const CProfile& profile);
// Writes the entries from 1 on and deletes the numbers after them up to previousCount, so the list never
// keeps a stale tail. False when any value could not be stored.
bool Write(CProfile& profile, const std::vector<SNetworkAddress>& entries, int previousCount);
// "address:port name"; padPort pads the port to five columns, as lines read from the settings show it.
QString ListText(const SNetworkAddress& entry, bool padPort);
// "TCP:address:port name".
std::string Descriptor(const SNetworkAddress& entry);
} // namespace NetworkAddresses
