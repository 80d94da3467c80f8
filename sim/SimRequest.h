#pragma once

#include <string>
#include <string_view>
#include <vector>

// One ";"-separated part of a received line: "TEC:T 25.0" -> header "TEC:T", args "25.0".
struct SSimPart
{
    std::string header;    // upper case, without the leading ":"
    std::string args;      // text after the header, blanks at both ends removed, case kept
    bool absolute = false; // written with a leading ":" (never resolved under the current path)
    bool IsQuery() const { return !header.empty() && header.back() == '?'; }
};

// Splits one line (without its line end) into its parts; empty parts are left out.
std::vector<SSimPart> ParseSimLine(std::string_view line);

// The path of a resolved header, for relative headers that follow it: "TEC:CHAN?" -> "TEC:",
// "ERR?" -> "".
std::string SimHeaderPath(std::string_view header);
