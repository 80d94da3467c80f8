#pragma once

// Where a log call stands in the source; carried with every message, not printed.
struct SourcePos
{
    const char* file;
    int line;
};
