#pragma once

class CSimCommandRegistry;

// Registers the instrument command sets (TEC, laser, lamp supply and their physics) that live beside
// the engine. Each set adds its own call in SimPlugins.cpp.
void RegisterSimPlugins(CSimCommandRegistry& registry);
