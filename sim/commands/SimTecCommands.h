#pragma once

class CSimCommandRegistry;

// The TEC command set: every "TEC:" command and query a TEC channel answers, its ticker (the mount
// physics and the unit's control loop), and the capability gates of the model (fan, heat/cool,
// AutoTune, analog interface, cable resistance, per-sensor constants).
class CSimTecCommands
{
public:
    static void Register(CSimCommandRegistry& registry);
};

void RegisterTecCommands(CSimCommandRegistry& registry);
