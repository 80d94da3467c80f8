#pragma once

#include <deque>
#include <string>

// The unit's error queue as "ERR?" and "ERRSTR?" read it: oldest first, emptied by reading.
class CSimErrorQueue
{
public:
    static constexpr size_t kDepth = 256; // further errors are dropped until the queue is read

    void Push(int number);
    bool Empty() const { return m_numbers.empty(); }
    size_t Size() const { return m_numbers.size(); }

    std::string TakeNumbers(); // "0" when empty, else the numbers joined by ","
    std::string TakeTexts();   // "No error" when empty, else the texts joined by ","

    static const char* Text(int number); // the instrument's text; "Unknown error" for others

private:
    std::deque<int> m_numbers;
};
