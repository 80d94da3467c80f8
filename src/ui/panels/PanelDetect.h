#pragma once

#include "instrument/session/IdentRecord.h"

#include <string>

class CPortReservation;
class QThreadPool;

// What a panel does on a worker before it creates an instrument object: the port test and detection,
// for a connect the user asked for and for a unit it waits to come back.
namespace PanelDetect
{
// Detection and connect mostly wait on the line: every panel gets a thread of its own rather than a
// share of the machine's cores, so eight panels connect at once.
QThreadPool& Pool();

// Longer than a disconnect can take: stopping the poll thread is bounded, then the port closes.
int RetireWaitMs();

// Holds a serial port in reservation, sees that the port opens and detects the unit on it; the text to
// show when the port is taken or does not open, empty otherwise (record says what answered, if anything).
std::string ReserveAndDetect(const std::string& descriptor, SIdentRecord& record,
                             CPortReservation& reservation);
} // namespace PanelDetect
