#pragma once

#include "instrument/session/IdentRecord.h"

#include <string>

// Finds out what answers on a port descriptor ("COM:%d:%d" or "TCP:%s:%d") using a temporary command
// port of its own, which is closed again before returning. The record's first four fields stay 0 when no
// supported unit was identified. A serial descriptor with baud 0 tries 38400, then 9600 baud.
// Never call it on a port that an instrument object holds open.
void DetectInstrument(const std::string& descriptor, SIdentRecord& record);
