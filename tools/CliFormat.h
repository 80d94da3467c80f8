#pragma once

#include "comm/SerInfo.h"
#include "instrument/session/IdentRecord.h"

#include <string>
#include <utility>
#include <vector>

// Pure formatters of what only tamrix-cli prints; no I/O, no locale dependence. The readings'
// formatters are ReadingFormat's.
namespace CliFormat
{
std::string IdentRecord(const SIdentRecord& record);
// "NUMBER NAME USB FRIENDLY NAME / PATH" table, one port a line.
std::string PortTable(const std::vector<SSerInfo>& ports);
// "key:   value" lines with the values aligned.
std::string KeyValues(const std::vector<std::pair<std::string, std::string>>& rows);
} // namespace CliFormat
