#pragma once

#include "diag/Profile.h"

#include <map>
#include <mutex>
#include <string>

class CIniProfile;

// Gives serial devices the system's port numbers ("COM n", 1 to 255).
//
// A device gets the lowest free number the first time it is seen. The number is kept in the profile
// section "Ports" under the device's stable identity (its /dev/serial/by-id link when it has one,
// else its device path) = number, with the reverse entry "COM<n>" = identity that reserves the
// number while the device is unplugged, so a replugged instrument keeps its number under whatever
// node name it gets, also after a restart. Explicit entries map a number to any path (a simulator's
// pseudo-terminal) and win over a remembered device of that number. They live in this process only,
// unless registered as persisted: those are kept in the profile ("Explicit<n>" = path), so a pty
// registered by one process (the command-line tool) opens as its port number in another. An entry
// of this process wins over a persisted one of the same number. Thread-safe.
class CPortRegistry
{
public:
    static constexpr int MinPort = 1;
    static constexpr int MaxPort = 255;
    static constexpr const char* Section = "Ports";
    static constexpr const char* ExplicitKeyPrefix = "Explicit";

    // The profile must outlive the registry.
    explicit CPortRegistry(CProfile& profile);
    CPortRegistry(const CPortRegistry&) = delete;
    CPortRegistry& operator=(const CPortRegistry&) = delete;

    // The process-wide registry over the program's INI profile.
    static CPortRegistry& Instance();
    // The program's INI profile under that registry, shared with the rest of the program so that one
    // store keeps the lock state and the changes held back while another process has the file.
    static CIniProfile& DefaultStore();

    // The number of the device, assigning one on first sight. An explicit entry for devicePath or
    // identity gives its number. 0 when all numbers are taken.
    int NumberFor(const std::string& identity, const std::string& devicePath);

    // False when the number is outside 1..255, the path is empty or a persisted entry cannot be stored.
    bool Register(int portNumber, const std::string& path, bool persist = false);
    // Removes this process's entry, or with persisted the stored one; false when it cannot be stored.
    bool Unregister(int portNumber, bool persisted = false);
    // This process's entries and the persisted ones.
    std::map<int, std::string> ExplicitEntries() const;

    // The path that opens port n: the explicit entry, else the remembered identity of a device while
    // that path exists. Empty when port n is not present.
    std::string Resolve(int portNumber) const;
    bool IsPresent(int portNumber) const { return !Resolve(portNumber).empty(); }
    // Numbers given since another process locked the store are this process's own until it is free.
    bool StoreLocked() const { return m_profile.IsLocked(); }

private:
    static bool InRange(int portNumber) { return portNumber >= MinPort && portNumber <= MaxPort; }
    static std::string NumberKey(int portNumber);
    static std::string IdentityKey(const std::string& identity);
    static std::string ExplicitKey(int portNumber);
    std::string ExplicitPath(int portNumber) const;
    std::map<int, std::string> ExplicitEntriesLocked() const;
    int RememberedNumber(const std::string& identity) const;
    int Assign(const std::string& identity);
    std::string RememberedIdentity(int portNumber) const;

    CProfile& m_profile;
    mutable std::mutex m_lock;
    std::map<int, std::string> m_explicit;
    // Numbers given in this process, also when the profile could not store them.
    std::map<std::string, int> m_assigned;
};
