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
    // Appends the chunk's bytes to line up to its end and keeps the bytes after it ahead of those
    // already kept (they came first); true when the line ended.
    bool AppendLine(std::string& line, const char* chunk, int count, bool lineFeedEndsLine);

private:
    std::string m_bytes;
};
