#pragma once

#include "comm/PortSearch.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

// Waiting for an instrument that went away (unplugged, or no longer answering): the same model and
// serial number, asked for on its own port, on any serial port that appears or changes its device, or
// at its network address again. The monitor and the panels connect each in their own way; this says
// where to try, and whether the unit found there is the one.
class CReconnectSearch
{
public:
    // How often a waiting caller looks again.
    static constexpr std::chrono::milliseconds RoundPeriod{1000};
    // Connects on the descriptor; true when the unit there is the one sought (see IsSought).
    using Attempt = std::function<bool(const std::string& descriptor)>;
    using StopRequested = std::function<bool()>;

    // Made while the instrument is still known on descriptor.
    CReconnectSearch(std::string descriptor, std::string model, std::string serialNumber);

    // One look: every place worth asking now, in turn, until an attempt finds the unit (true; Descriptor()
    // is then where) or stop says so between two attempts.
    bool Round(const Attempt& attempt, const StopRequested& stop = {});
    bool IsSought(const std::string& model, const std::string& serialNumber) const;

    const std::string& Descriptor() const { return m_descriptor; }
    const std::string& Model() const { return m_model; }
    const std::string& SerialNumber() const { return m_serialNumber; }

private:
    std::string m_descriptor;
    std::string m_model;
    std::string m_serialNumber;
    std::unique_ptr<CPortSearch> m_ports; // serial instruments only
};
