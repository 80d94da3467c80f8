#include "SimInstrument.h"

#include "SimModelTable.h"

CSimInstrument::CSimInstrument(const SSimModel& model)
    : m_engine(model), m_pty(m_engine, m_line), m_tcp(m_engine, m_line)
{
}

CSimInstrument::~CSimInstrument()
{
    Stop();
}

std::unique_ptr<CSimInstrument> CSimInstrument::Create(const std::string& modelName)
{
    const SSimModel* model = CSimModelTable::Find(modelName);
    return model ? std::make_unique<CSimInstrument>(*model) : nullptr;
}

void CSimInstrument::SetEcho(bool on)
{
    m_engine.WithUnit([on](CSimUnit& unit) { unit.terminalEcho = on; });
}

void CSimInstrument::SetSerial(const std::string& serial)
{
    m_engine.WithUnit([&serial](CSimUnit& unit) { unit.SetSerial(serial); });
}

void CSimInstrument::SetFitted(ESimFamily family, unsigned mask)
{
    m_engine.WithUnit([family, mask](CSimUnit& unit) { unit.SetFitted(family, mask); });
}

void CSimInstrument::PushError(int number)
{
    m_engine.WithUnit([number](CSimUnit& unit) { unit.PushError(number); });
}

void CSimInstrument::SetSensorFault(int tecIndex, ESimSensorFault fault)
{
    m_engine.WithUnit([tecIndex, fault](CSimUnit& unit) { unit.SetSensorFault(tecIndex, fault); });
}

void CSimInstrument::Stop()
{
    m_pty.Stop();
    m_tcp.Stop();
}
