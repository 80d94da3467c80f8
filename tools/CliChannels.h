#pragma once

#include "instrument/report/Channels.h"

#include <string>
#include <utility>
#include <vector>

// What "info" says of an instrument's channels.
namespace CliChannels
{
// Capability lines per channel; these may query the instrument (not while polling).
std::vector<std::pair<std::string, std::string>> Capabilities(const SChannels& channels);
// "TEC 2 (1, 3), laser 0".
std::string Summary(const SChannels& channels);
} // namespace CliChannels
