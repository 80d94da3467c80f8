#pragma once

class CSimCommandRegistry;

// The lamp-supply command set: every "LPS:" command and query of a lamp power supply channel, its
// factory calibration commands, and its ticker (ramps and the lamp's filament).
class CSimLpsCommands
{
public:
    static void Register(CSimCommandRegistry& registry);
};

void RegisterLpsCommands(CSimCommandRegistry& registry);
