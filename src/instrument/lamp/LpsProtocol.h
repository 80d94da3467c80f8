#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lamp supply's poll line: formatter and parser, pure (no port, no locale dependence).
namespace LpsProtocol
{
// The lamp-supply bits of the laser poll flags (upper half of the session's selection).
enum PollFlag : uint32_t
{
    PollCurrent = 0x1,
    PollVoltage = 0x8,
    PollCurrentSet = 0x10,
    PollVoltageSet = 0x80,
    PollOutput = 0x100,
    PollMode = 0x200,
    PollVBulk = 0x100000,
    PollAll = 0x100399
};

struct SPollField
{
    PollFlag item;
    double value = 0.0;
    int precision = 0; // digits after the decimal point
    std::string text;  // as sent (the mode name)
};

struct SPollReply
{
    std::vector<SPollField> fields; // in query order
    int errorNumber = 0;
};

// ":LPS:I?;" ... ":LPS:VBULK?;" for the set flags in poll order, then "ERR?" and "\n".
std::string PollQuery(uint32_t upperFlags);
// One ","-field per selected item, then the error number; further fields are ignored. Empty when the
// reply runs out before the error number or a value does not read as a number (nothing of such a
// reply may be used).
std::optional<SPollReply> ParsePollReply(uint32_t upperFlags, std::string_view reply);
} // namespace LpsProtocol
