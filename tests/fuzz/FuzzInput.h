#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The fuzzers' input taken apart: a selector byte, then text split at NUL into the pieces a parser
// wants (one reply, or the fields of a poll reply).
class CFuzzInput
{
public:
    CFuzzInput(const uint8_t* data, size_t size)
        : m_selector(size > 0 ? data[0] : 0),
          m_text(size > 0 ? std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)
                          : std::string_view())
    {
    }

    uint8_t Selector() const { return m_selector; }
    std::string_view Text() const { return m_text; }
    // The text split at NUL bytes.
    std::vector<std::string> Pieces() const
    {
        std::vector<std::string> pieces;
        std::string_view rest = m_text;
        for (;;)
        {
            const size_t end = rest.find('\0');
            pieces.emplace_back(rest.substr(0, end));
            if (end == std::string_view::npos)
                return pieces;
            rest.remove_prefix(end + 1);
        }
    }

private:
    uint8_t m_selector;
    std::string_view m_text;
};
