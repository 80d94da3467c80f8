#pragma once

#include <span>
#include <string>

// The fixed table of instrument error numbers and their texts.
class CErrorTable
{
public:
    struct SRow
    {
        int number;
        const char* text;
    };

    // The text of the first row with this number; "Unknown error" for numbers the table lacks
    // (999 ends the table, so it too is unknown).
    static std::string GetErrorText(int number);

    // All rows in table order, the terminating 999 row last.
    static std::span<const SRow> GetRows();
};
