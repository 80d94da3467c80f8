#pragma once

class CSimCommandRegistry;

// The laser command set: every "LAS:" command and query a laser-diode driver channel answers (and
// "ONDELAY", "DAC", "SETEXTENDEDRES"), its ticker, and the model's capability gates (pulse timing,
// QCW, current ranges, cable resistance).
class CSimLaserCommands
{
public:
    static void Register(CSimCommandRegistry& registry);
};

void RegisterLaserCommands(CSimCommandRegistry& registry);
