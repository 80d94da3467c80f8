#pragma once

#include "comm/PortReservation.h"
#include "instrument/session/IdentRecord.h"

#include <memory>
#include <string>

class CInstrBase;
class CSerial;

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
    // After Open, the instrument's own error list holds first the errors the connect caused, then
    // those the unit had queued before it: the number of the first kind.
    int ErrorsCausedByConnect() const { return m_errorsCausedByConnect; }
    // Disconnects the instrument, if any; Open may follow.
    void Close();

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
    int m_errorsCausedByConnect = 0;
};
