#include "PyReadingsIterator.h"

#include "PyErrors.h"
#include "PyUnit.h"
#include "PyWait.h"
#include "instrument/session/InstrBase.h"

#include <algorithm>

namespace py = pybind11;

CPyReadingsIterator::CPyReadingsIterator(std::shared_ptr<CPyUnit> unit) : m_unit(std::move(unit)) {}

SPyReadings CPyReadingsIterator::Next()
{
    if (!m_unit->IsConnected())
        throw py::stop_iteration();
    // Longer than a cycle on any link the unit still answers on, so a silent unit yields now and then.
    const double ceilingS =
        m_unit->Peek([](CInstrBase& instrument) { return instrument.FreshnessCeilingMs() / 1000.0; });
    const double patience = std::max(1.0, 2 * m_unit->PeriodS() + ceilingS);
    PyWait::Until([this] { return !m_unit->IsConnected() || m_unit->Cycles() > m_lastCycle; }, patience,
                  m_unit->CycleBlock());
    if (!m_unit->IsConnected())
        throw py::stop_iteration();
    // A unit that is silent keeps its connection (its readings are None); a closed port does not.
    if (!m_unit->Peek([](CInstrBase& instrument) { return instrument.IsPortOpen(); }))
        PyErrors::ThrowConnect("the connection to the instrument was lost");
    m_lastCycle = m_unit->Cycles();
    return m_unit->Read();
}
