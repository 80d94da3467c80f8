#pragma once

#include <string>

// Bytes read past a line end in the same chunk, kept for the next read: one read per chunk instead of
// several system calls per byte keeps polling cheap.
class CLineRemainder
{
public:
    bool IsEmpty() const { return m_bytes.empty(); }
    int GetSize() const { return static_cast<int>(m_bytes.size()); }
    void Clear() { m_bytes.clear(); }

    // Moves up to capacity of the kept bytes, oldest first, into buffer; how many it moved.
    int Take(char* buffer, int capacity);
    // What one chunk gave the line being read.
    struct SAppended
    {
        bool ended = false;
        int taken = 0;          // bytes of this line, its end included
        int strayLineFeeds = 0; // line feeds before the line began: the end of the line before it
    };
    // Appends the chunk's bytes to line up to its end and keeps the bytes after it ahead of those
    // already kept (they came first). Where only a carriage return ends a line, a line feed right
    // behind it is its own and taken with it, and line feeds before a line begins are counted apart.
    SAppended AppendLine(std::string& line, const char* chunk, int count, bool lineFeedEndsLine);

private:
    std::string m_bytes;
};
