#include "SimPlugins.h"

#include "SimCommandRegistry.h"

void RegisterSimPlugins(CSimCommandRegistry& registry)
{
    // Instrument command sets register here, one call each.
    (void)registry;
}
