#pragma once

#include "instrument/session/InstrBase.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// An instrument without a port: the session's primitive send and query are answered here, so every
// layer above them (checked commands, memory block reads and writes, the bags) runs as in the program.
// Keyed requests answer from replies[], raw reads from two byte areas (7 user, 8 factory); everything
// sent is recorded in sent.
class CFakeBagInstrument : public CInstrBase
{
public:
    CFakeBagInstrument();

    bool IsPortOpen() const override { return open; }
    std::string QueryDirect(std::string_view command, int timeoutMs = -1) override;
    bool CommandRaw(std::string_view command) override;

    void Poke(int area, int address, std::vector<uint8_t> bytes);
    std::vector<uint8_t> Peek(int area, int address, int count);

    bool open = true;
    std::vector<std::string> sent;
    std::map<std::string, std::string> replies; // query text -> reply line
    std::string errorReply = "0";               // answer to every error check
    int failingSends = 0;                       // raw sends that fail before one succeeds

private:
    std::string RawRead(std::string_view args);
    bool RawWrite(std::string_view args);
    std::map<int, std::vector<uint8_t>> m_areas;
};
