#pragma once

#include "comm/PortReservation.h"
#include "instrument/session/IdentRecord.h"

#include <memory>
#include <string>

class CInstrBase;
class CSerial;

// How a connection attempt ended; on failure the message says why in the system's own words.
enum class EConnectResult
{
    Ok,
    BadDescriptor, // no "COM:<port>:<baud>" or "TCP:<host>:<port>"
    NoInstrument   // the port did not open, nothing was detected, or the connect failed
};

// One instrument connected the way a panel connects it: open test, detection, the model's class,
// Connect. Every front end without a window (the command-line tool, the broker bridge, scripts)
// connects through it. Disconnects on destruction.
class CUnitConnection
{
public:
    CUnitConnection() = default;
    ~CUnitConnection();
    CUnitConnection(const CUnitConnection&) = delete;
    CUnitConnection& operator=(const CUnitConnection&) = delete;

    EConnectResult Open(const std::string& descriptor, std::string& message);
    CInstrBase& Instrument() const { return *m_instrument; }
    const SIdentRecord& Record() const { return m_record; }
    // After Open, the instrument's own error list holds first the errors the connect caused, then
    // those the unit had queued before it: the number of the first kind.
    int ErrorsCausedByConnect() const { return m_errorsCausedByConnect; }
    // Disconnects the instrument, if any, and gives the port back; Open may follow.
    void Close();

    // The open test and detection alone.
    static EConnectResult Detect(const std::string& descriptor, SIdentRecord& record, std::string& message);
    // A command port on the descriptor for raw exchanges.
    static EConnectResult OpenRaw(const std::string& descriptor, CSerial& port, std::string& message);

private:
    // Detect with the port held in reservation (serial ports) until the reservation ends.
    static EConnectResult DetectHolding(const std::string& descriptor, SIdentRecord& record,
                                        std::string& message, CPortReservation& reservation);

    // Declared first, so that it is released after the instrument has disconnected.
    CPortReservation m_reservation;
    std::unique_ptr<CInstrBase> m_instrument;
    SIdentRecord m_record;
    int m_errorsCausedByConnect = 0;
};
