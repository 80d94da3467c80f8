#pragma once

class CSimCommandRegistry;

// The commands every unit understands whatever its command sets: identity, error queue, interface
// settings, channel selection and stored-value access (keyed and raw).
void RegisterSimCoreCommands(CSimCommandRegistry& registry);
