#pragma once

#include <cstdint>
#include <string>

// One error that an instrument reported: when the program received it, its number and the table's
// text for that number. Copied by value.
class CErrorMsg
{
public:
    // The current time, number 0 and an empty text: what an out-of-range lookup gives.
    CErrorMsg();
    CErrorMsg(int64_t time, int number, std::string text);

    int64_t GetTime() const { return m_time; } // seconds since 1970-01-01 UTC
    int GetNumber() const { return m_number; }
    const std::string& GetText() const { return m_text; }

private:
    int64_t m_time;
    int m_number;
    std::string m_text;
};
