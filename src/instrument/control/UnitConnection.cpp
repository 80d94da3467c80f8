#include "instrument/control/UnitConnection.h"

#include "comm/PortDescriptor.h"
#include "comm/PortReservation.h"
#include "comm/Serial.h"
#include "instrument/report/ConnectMessages.h"
#include "instrument/report/ReadingFormat.h"
#include "instrument/session/DetectInstrument.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/InstrumentFactory.h"

CUnitConnection::~CUnitConnection()
{
    Close();
}

void CUnitConnection::Close()
{
    if (m_instrument)
        m_instrument->Disconnect();
    m_instrument.reset();
    // The port goes back with the instrument: another connection (this process's too) may take it.
    m_reservation.Release();
}

EConnectResult CUnitConnection::OpenRaw(const std::string& descriptor, CSerial& port, std::string& message)
{
    const auto parsed = PortDescriptor::ParseExact(descriptor);
    if (!parsed)
    {
        message = "\"" + ReadingFormat::Printable(descriptor) +
                  "\" is not a port descriptor (COM:<port>:<baud> or TCP:<host>:<port>)";
        return EConnectResult::BadDescriptor;
    }
    const bool opened = port.OpenDescriptor(descriptor);
    // A network port opens while its connection is still being made; a refusal seen meanwhile is
    // reported now rather than as an instrument that does not answer.
    if (!opened || port.GetLastOpenFailure() != EOpenFailure::None)
    {
        message = ConnectMessages::OpenFailure(*parsed, port.GetLastOpenFailure());
        port.Close();
        return EConnectResult::NoInstrument;
    }
    return EConnectResult::Ok;
}

EConnectResult CUnitConnection::Detect(const std::string& descriptor, SIdentRecord& record,
                                       std::string& message)
{
    CPortReservation reservation;
    return DetectHolding(descriptor, record, message, reservation);
}

EConnectResult CUnitConnection::DetectHolding(const std::string& descriptor, SIdentRecord& record,
                                              std::string& message, CPortReservation& reservation)
{
    // A serial port is held from here to the end of the connect: detection and connect each open it,
    // and another program must not take it in between.
    const auto parsed = PortDescriptor::ParseExact(descriptor);
    if (parsed && parsed->kind == "COM")
    {
        if (const EOpenFailure failure = reservation.Reserve(PortDescriptor::ToInt(parsed->first));
            failure != EOpenFailure::None)
        {
            message = ConnectMessages::OpenFailure(*parsed, failure);
            return EConnectResult::NoInstrument;
        }
    }
    // As a panel does: a port that does not open is told apart from one where nothing answers.
    {
        CSerial probe;
        if (const EConnectResult result = OpenRaw(descriptor, probe, message); result != EConnectResult::Ok)
            return result;
        probe.Close();
    }
    DetectInstrument(descriptor, record);
    if (record.familyCode == 0)
    {
        message =
            record.unreadableReply ? ConnectMessages::UnreadableIdentity : ConnectMessages::NoController;
        return EConnectResult::NoInstrument;
    }
    return EConnectResult::Ok;
}

EConnectResult CUnitConnection::Open(const std::string& descriptor, std::string& message)
{
    if (const EConnectResult result = DetectHolding(descriptor, m_record, message, m_reservation);
        result != EConnectResult::Ok)
        return result;
    m_instrument.reset(CreateInstrumentObject(m_record.familyCode, m_record.modelCode, m_record.variantCode,
                                              m_record.versionMajor));
    if (!m_instrument)
    {
        message = ConnectMessages::UnknownType;
        return EConnectResult::NoInstrument;
    }
    if (!m_instrument->Connect(descriptor))
    {
        const bool refused = m_instrument->WasIdentityRefused();
        m_instrument->Disconnect();
        m_instrument.reset();
        message = refused ? ConnectMessages::UnreadableIdentity : ConnectMessages::CouldNotConnect;
        return EConnectResult::NoInstrument;
    }
    m_errorsCausedByConnect = m_instrument->CInstrBase::GetErrorCount();
    m_instrument->AddErrorsFromReply(m_record.queuedErrors, 0);
    return EConnectResult::Ok;
}
