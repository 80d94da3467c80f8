#include "CliConnection.h"

#include "CliArgs.h"
#include "comm/PortDescriptor.h"
#include "comm/Serial.h"
#include "instrument/session/DetectInstrument.h"
#include "instrument/session/InstrBase.h"
#include "instrument/session/InstrumentFactory.h"

namespace
{
bool IsDescriptor(const std::string& descriptor)
{
    const auto parsed = PortDescriptor::Parse(descriptor);
    return parsed && (parsed->kind == "COM" || parsed->kind == "TCP");
}
} // namespace

CCliConnection::~CCliConnection()
{
    if (m_instrument)
        m_instrument->Disconnect();
}

int CCliConnection::OpenRaw(const std::string& descriptor, CSerial& port, std::string& message)
{
    if (!IsDescriptor(descriptor))
    {
        message = "\"" + descriptor + "\" is not a port descriptor (COM:<port>:<baud> or TCP:<host>:<port>)";
        return ExitUsage;
    }
    if (!port.OpenDescriptor(descriptor))
    {
        message = CliMessages::CouldNotOpen;
        return ExitNoInstrument;
    }
    return ExitOk;
}

int CCliConnection::Detect(const std::string& descriptor, SIdentRecord& record, std::string& message)
{
    // As a panel does: a port that does not open is told apart from one where nothing answers.
    {
        CSerial probe;
        if (const int result = OpenRaw(descriptor, probe, message); result != ExitOk)
            return result;
        probe.Close();
    }
    DetectInstrument(descriptor, record);
    if (record.familyCode == 0)
    {
        message = CliMessages::NoController;
        return ExitNoInstrument;
    }
    return ExitOk;
}

int CCliConnection::Open(const std::string& descriptor, std::string& message)
{
    if (const int result = Detect(descriptor, m_record, message); result != ExitOk)
        return result;
    m_instrument.reset(CreateInstrumentObject(m_record.familyCode, m_record.modelCode, m_record.variantCode,
                                              m_record.versionMajor));
    if (!m_instrument)
    {
        message = CliMessages::UnknownType;
        return ExitNoInstrument;
    }
    if (!m_instrument->Connect(descriptor))
    {
        m_instrument->Disconnect();
        m_instrument.reset();
        message = CliMessages::CouldNotConnect;
        return ExitNoInstrument;
    }
    return ExitOk;
}
