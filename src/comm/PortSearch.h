#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

// Where to look for a serial instrument that went away: its own port when that comes back, and every
// port that appears or changes its device since it connected. The other ports present when it
// connected were other devices then and are never asked. A new port that did not answer is asked
// again after a while, since a device may still be starting up.
class CPortSearch
{
public:
    static constexpr std::chrono::milliseconds RetryFailed{3000};

    // Port number -> device path of every numbered serial port present now (empty when the ports
    // cannot be listed just now).
    static std::map<int, std::string> PresentPorts();
    // 0 for a network descriptor.
    static int SerialPortOf(const std::string& descriptor);

    // Taken while the instrument is connected on descriptor.
    explicit CPortSearch(const std::string& descriptor);

    // The descriptors worth asking now, with the baud rate of the original one.
    std::vector<std::string> Candidates(std::chrono::steady_clock::time_point now);
    void Failed(const std::string& descriptor, std::chrono::steady_clock::time_point now);

private:
    std::string m_descriptor;
    std::map<int, std::string> m_unchanged;
    std::map<int, std::chrono::steady_clock::time_point> m_failedAt;
};
