#pragma once

#include "PyReadings.h"

#include <cstdint>
#include <memory>

class CPyUnit;

// Unit.readings(): one SPyReadings per completed poll cycle, for logging loops. A unit that stops
// answering still yields, about once per freshness bound, with its readings None, so a log shows the
// time going by; a lost connection raises ConnectError and a disconnected unit ends the iteration.
class CPyReadingsIterator
{
public:
    explicit CPyReadingsIterator(std::shared_ptr<CPyUnit> unit);
    SPyReadings Next();

private:
    std::shared_ptr<CPyUnit> m_unit;
    uint64_t m_lastCycle = 0;
};
