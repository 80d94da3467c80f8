#include "ui/panels/PanelDetect.h"

#include "comm/PortDescriptor.h"
#include "comm/PortReservation.h"
#include "comm/Serial.h"
#include "instrument/report/ConnectMessages.h"
#include "instrument/session/DetectInstrument.h"
#include "instrument/session/InstrBase.h"
#include "ui/panels/PanelMessages.h"

#include <QThreadPool>

namespace
{
// Opens the port on a temporary command port to see that it is free; the text to show when not. A
// network port opens while its connection is still being made: a refusal seen meanwhile counts too.
std::string ProbePort(const std::string& descriptor)
{
    const auto parsed = PortDescriptor::Parse(descriptor);
    if (!parsed)
        return PanelMessages::NoPortSelected.toStdString();
    CSerial probe;
    const bool opened = probe.OpenDescriptor(descriptor);
    const EOpenFailure failure = probe.GetLastOpenFailure();
    probe.Close();
    return opened && failure == EOpenFailure::None ? std::string()
                                                   : ConnectMessages::OpenFailure(*parsed, failure);
}
} // namespace

QThreadPool& PanelDetect::Pool()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(32);
    return pool;
}

int PanelDetect::RetireWaitMs()
{
    return CInstrBase::DisconnectStopTimeoutMs + 5000;
}

std::string PanelDetect::ReserveAndDetect(const std::string& descriptor, SIdentRecord& record,
                                          CPortReservation& reservation)
{
    const auto parsed = PortDescriptor::Parse(descriptor);
    if (parsed && parsed->kind == "COM")
    {
        if (const EOpenFailure failure = reservation.Reserve(PortDescriptor::ToInt(parsed->first));
            failure != EOpenFailure::None)
            return ConnectMessages::OpenFailure(*parsed, failure);
    }
    std::string error = ProbePort(descriptor);
    if (error.empty())
        DetectInstrument(descriptor, record);
    return error;
}
