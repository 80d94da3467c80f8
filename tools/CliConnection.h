#pragma once

#include "comm/PortReservation.h"
#include "instrument/session/IdentRecord.h"

#include <memory>
#include <string>

class CInstrBase;
class CSerial;

// The system's messages for a connection that does not come about.
namespace CliMessages
{
inline constexpr const char* CouldNotOpen =
    "Could not open COM port, it is already in use by another panel or program.";
inline constexpr const char* LostCommunications = "Lost communications with the instrument, disconnecting.";
inline constexpr const char* NoSocket = "Unable to create TCP/IP socket";
inline constexpr const char* CouldNotConnectTcp = "Unable to connect to TCP/IP port";
inline constexpr const char* UnreadableIdentity =
    "A device answered, but its identification reply could not be read.";
inline constexpr const char* NoController = "No Tamrix Instruments controller was detected.";
inline constexpr const char* UnknownType = "An unknown controller type was detected.";
inline constexpr const char* CouldNotConnect =
    "Could not connect to instrument. The port was in use, or no instrument was detected. Ensure the "
    "instrument is on and connected, and that no other program has the port open.";
} // namespace CliMessages

// One instrument connected the way a panel connects it: open test, detection, the model's class,
// Connect. Disconnects on destruction.
class CCliConnection
{
public:
    CCliConnection() = default;
    ~CCliConnection();
    CCliConnection(const CCliConnection&) = delete;
    CCliConnection& operator=(const CCliConnection&) = delete;

    // A CliExit code; on failure message holds the system's text for it.
    int Open(const std::string& descriptor, std::string& message);
    CInstrBase& Instrument() const { return *m_instrument; }
    const SIdentRecord& Record() const { return m_record; }

    // The open test and detection alone (what "detect" does); a CliExit code.
    static int Detect(const std::string& descriptor, SIdentRecord& record, std::string& message);
    // A command port on the descriptor for raw exchanges; a CliExit code.
    static int OpenRaw(const std::string& descriptor, CSerial& port, std::string& message);

private:
    // Detect with the port held in reservation (serial ports) until the reservation ends.
    static int DetectHolding(const std::string& descriptor, SIdentRecord& record, std::string& message,
                             CPortReservation& reservation);

    // Declared first, so that it is released after the instrument has disconnected.
    CPortReservation m_reservation;
    std::unique_ptr<CInstrBase> m_instrument;
    SIdentRecord m_record;
};
