#include "FakeBagInstrument.h"

#include "instrument/session/HexBytes.h"

#include <cstdio>

namespace
{
constexpr std::string_view kErrorCheck = "\nerr?\n";
}

CFakeBagInstrument::CFakeBagInstrument()
{
    m_areas[7].assign(1024, 0xFF);
    m_areas[8].assign(1024, 0xFF);
}

std::string CFakeBagInstrument::QueryDirect(std::string_view command, int)
{
    if (!open)
    {
        return {};
    }
    sent.emplace_back(command);
    if (command.starts_with("!!READ "))
    {
        return RawRead(command.substr(7));
    }
    if (command == "err?" || command.ends_with(kErrorCheck))
    {
        return errorReply;
    }
    auto it = replies.find(std::string(command));
    return it == replies.end() ? std::string() : it->second;
}

bool CFakeBagInstrument::CommandRaw(std::string_view command)
{
    if (!open)
    {
        return false;
    }
    sent.emplace_back(command);
    if (failingSends > 0)
    {
        --failingSends;
        return false;
    }
    return !command.starts_with("!!WRITE ") || RawWrite(command.substr(8));
}

void CFakeBagInstrument::Poke(int area, int address, std::vector<uint8_t> bytes)
{
    std::copy(bytes.begin(), bytes.end(), m_areas.at(area).begin() + address);
}

std::vector<uint8_t> CFakeBagInstrument::Peek(int area, int address, int count)
{
    auto first = m_areas.at(area).begin() + address;
    return std::vector<uint8_t>(first, first + count);
}

std::string CFakeBagInstrument::RawRead(std::string_view args)
{
    int address = 0;
    int count = 0;
    int area = 0;
    if (std::sscanf(std::string(args).c_str(), "%d, %d, %d", &address, &count, &area) != 3 ||
        !m_areas.count(area))
    {
        return {};
    }
    // Bytes separated by blanks, as the older firmware prints them.
    std::string reply;
    for (uint8_t byte : Peek(area, address, count))
    {
        reply += (reply.empty() ? "" : " ") + FormatHexBytes(std::span(&byte, 1));
    }
    return reply;
}

bool CFakeBagInstrument::RawWrite(std::string_view args)
{
    int address = 0;
    int byte = 0;
    int area = 0;
    if (std::sscanf(std::string(args).c_str(), "%d, %d, %d", &address, &byte, &area) != 3 ||
        !m_areas.count(area))
    {
        return false;
    }
    m_areas[area][address] = static_cast<uint8_t>(byte);
    return true;
}
