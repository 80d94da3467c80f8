#include "comm/PortRegistry.h"

#include "diag/IniProfile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

CPortRegistry::CPortRegistry(CProfile& profile) : m_profile(profile) {}

CIniProfile& CPortRegistry::DefaultStore()
{
    static CIniProfile profile;
    return profile;
}

CPortRegistry& CPortRegistry::Instance()
{
    static CPortRegistry registry(DefaultStore());
    return registry;
}

int CPortRegistry::NumberFor(const std::string& identity, const std::string& devicePath)
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& [number, path] : ExplicitEntriesLocked())
    {
        if (path == devicePath || path == identity)
            return number;
    }
    if (const auto known = m_assigned.find(identity); known != m_assigned.end())
        return known->second;
    int number = RememberedNumber(identity);
    if (number == 0)
        number = Assign(identity);
    if (number != 0)
        m_assigned[identity] = number;
    return number;
}

bool CPortRegistry::Register(int portNumber, const std::string& path, bool persist)
{
    if (!InRange(portNumber) || path.empty())
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    if (persist)
        return m_profile.WriteString(Section, ExplicitKey(portNumber), path);
    m_explicit[portNumber] = path;
    return true;
}

// The profile cannot delete a single key; an empty value means no entry.
bool CPortRegistry::Unregister(int portNumber, bool persisted)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!persisted)
    {
        m_explicit.erase(portNumber);
        return true;
    }
    if (!InRange(portNumber) || m_profile.GetString(Section, ExplicitKey(portNumber)).empty())
        return true;
    return m_profile.WriteString(Section, ExplicitKey(portNumber), "");
}

std::map<int, std::string> CPortRegistry::ExplicitEntries() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return ExplicitEntriesLocked();
}

std::map<int, std::string> CPortRegistry::ExplicitEntriesLocked() const
{
    std::map<int, std::string> entries;
    for (int number = MinPort; number <= MaxPort; ++number)
    {
        if (std::string path = ExplicitPath(number); !path.empty())
            entries.emplace(number, std::move(path));
    }
    return entries;
}

std::string CPortRegistry::ExplicitPath(int portNumber) const
{
    const auto found = m_explicit.find(portNumber);
    if (found != m_explicit.end())
        return found->second;
    return m_profile.GetString(Section, ExplicitKey(portNumber));
}

std::string CPortRegistry::Resolve(int portNumber) const
{
    if (!InRange(portNumber))
        return {};
    std::lock_guard<std::mutex> guard(m_lock);
    if (std::string path = ExplicitPath(portNumber); !path.empty())
        return path;
    std::string identity;
    for (const auto& [known, number] : m_assigned)
    {
        if (number == portNumber)
            identity = known;
    }
    if (identity.empty())
        identity = RememberedIdentity(portNumber);
    std::error_code error;
    return !identity.empty() && std::filesystem::exists(identity, error) ? identity : std::string();
}

std::string CPortRegistry::NumberKey(int portNumber)
{
    return "COM" + std::to_string(portNumber);
}

std::string CPortRegistry::ExplicitKey(int portNumber)
{
    return ExplicitKeyPrefix + std::to_string(portNumber);
}

// INI names cannot carry "=", brackets or line breaks; "%" is escaped too so the mapping is reversible.
std::string CPortRegistry::IdentityKey(const std::string& identity)
{
    std::string key;
    for (const char c : identity)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '=' || c == '[' || c == ']' || c == '%')
        {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            key += escaped;
        }
        else
            key += c;
    }
    return key;
}

// The remembered number counts only while its reverse entry still names this identity, so a number
// taken over by an edit of the file or a half-finished write is not shared by two devices.
int CPortRegistry::RememberedNumber(const std::string& identity) const
{
    const int number = m_profile.GetInt(Section, IdentityKey(identity), 0);
    return InRange(number) && RememberedIdentity(number) == identity ? number : 0;
}

std::string CPortRegistry::RememberedIdentity(int portNumber) const
{
    return m_profile.GetString(Section, NumberKey(portNumber));
}

// A reverse entry that already names the identity (its own entry was never written, say after a crash
// between the two writes) is taken back rather than left reserved for nobody.
int CPortRegistry::Assign(const std::string& identity)
{
    int free = 0;
    for (int number = MinPort; number <= MaxPort; ++number)
    {
        const std::string holder = RememberedIdentity(number);
        if (holder == identity)
        {
            m_profile.WriteInt(Section, IdentityKey(identity), number);
            return number;
        }
        const bool taken = !holder.empty() || !ExplicitPath(number).empty() ||
                           std::any_of(m_assigned.begin(), m_assigned.end(),
                                       [number](const auto& entry) { return entry.second == number; });
        if (free == 0 && !taken)
            free = number;
    }
    // The reverse entry first: it is what reserves the number for other processes.
    if (free != 0 && m_profile.WriteString(Section, NumberKey(free), identity))
        m_profile.WriteInt(Section, IdentityKey(identity), free);
    return free;
}
