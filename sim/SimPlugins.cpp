#include "SimPlugins.h"

#include "SimCommandRegistry.h"
#include "commands/SimLaserCommands.h"
#include "commands/SimLpsCommands.h"
#include "commands/SimTecCommands.h"

void RegisterSimPlugins(CSimCommandRegistry& registry)
{
    // Instrument command sets register here, one call each.
    RegisterTecCommands(registry);
    RegisterLaserCommands(registry);
    RegisterLpsCommands(registry);
}
