#include "comm/LineRemainder.h"

#include "comm/SerialBase.h"

#include <algorithm>
#include <cstring>

int CLineRemainder::Take(char* buffer, int capacity)
{
    const size_t count = std::min(m_bytes.size(), static_cast<size_t>(std::max(0, capacity)));
    std::memcpy(buffer, m_bytes.data(), count);
    m_bytes.erase(0, count);
    return static_cast<int>(count);
}

bool CLineRemainder::AppendLine(std::string& line, const char* chunk, int count, bool lineFeedEndsLine)
{
    for (int index = 0; index < count; ++index)
    {
        if (CSerialBase::AppendReplyByte(line, chunk[index], lineFeedEndsLine))
        {
            m_bytes.insert(0, chunk + index + 1, static_cast<size_t>(count - index - 1));
            return true;
        }
    }
    return false;
}
