#pragma once

#include "ui/widgets/InstrumentLink.h"

class CLaser;

// What holds a connected instrument for the dialogs that work on it (a panel): they look the
// instrument up through it before each use, since the holder may have let it go meanwhile.
class IInstrumentHolder
{
public:
    // The poll period of an instrument's background thread while a holder watches it.
    static constexpr int WatchPeriodMs = 500;

    virtual ~IInstrumentHolder() = default;

    // Empty when no instrument is connected.
    virtual const SInstrumentLink& Link() const = 0;
    // The laser channel of the instrument, for units that have one; null otherwise.
    virtual CLaser* GetLaser() const = 0;
};
