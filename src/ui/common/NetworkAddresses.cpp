#include "ui/common/NetworkAddresses.h"

#include "diag/Profile.h"

namespace
{
const char* const Section = "IPAddresses";
}

namespace NetworkAddresses
{
std::vector<SNetworkAddress> Read(const CProfile& profile)
{
    std::vector<SNetworkAddress> entries;
    for (int i = 1;; ++i)
    {
        const std::string n = std::to_string(i);
        SNetworkAddress entry{profile.GetString(Section, "IPAddress" + n),
                              profile.GetInt(Section, "IPPort" + n, -1),
                              profile.GetString(Section, "IPName" + n)};
        if (entry.address.empty() || entry.port == -1)
            break;
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool Write(CProfile& profile, const std::vector<SNetworkAddress>& entries, int previousCount)
{
    bool stored = true;
    int number = 0;
    for (const SNetworkAddress& entry : entries)
    {
        const std::string n = std::to_string(++number);
        stored &= profile.WriteString(Section, "IPAddress" + n, entry.address);
        stored &= profile.WriteInt(Section, "IPPort" + n, entry.port);
        stored &= profile.WriteString(Section, "IPName" + n, entry.name);
    }
    while (++number <= previousCount)
    {
        const std::string n = std::to_string(number);
        stored &= profile.DeleteKey(Section, "IPAddress" + n);
        stored &= profile.DeleteKey(Section, "IPPort" + n);
        stored &= profile.DeleteKey(Section, "IPName" + n);
    }
    return stored;
}

QString ListText(const SNetworkAddress& entry, bool padPort)
{
    return QString("%1:%2 %3")
        .arg(QString::fromStdString(entry.address))
        .arg(entry.port, padPort ? -5 : 0)
        .arg(QString::fromStdString(entry.name));
}

std::string Descriptor(const SNetworkAddress& entry)
{
    return "TCP:" + entry.address + ":" + std::to_string(entry.port) + " " + entry.name;
}
} // namespace NetworkAddresses
