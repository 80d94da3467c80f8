#include "SimPlugins.h"

#include "SimCommandRegistry.h"
#include "commands/SimTecCommands.h"

void RegisterSimPlugins(CSimCommandRegistry& registry)
{
    // Instrument command sets register here, one call each.
    RegisterTecCommands(registry);
}
