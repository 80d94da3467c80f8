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

CLineRemainder::SAppended CLineRemainder::AppendLine(std::string& line, const char* chunk, int count,
                                                     bool lineFeedEndsLine)
{
    SAppended appended;
    int index = 0;
    // A line feed that trails a carriage return ends nothing and arrives a byte later than the line's
    // end, often in the next read: it belongs to the line before.
    for (; !lineFeedEndsLine && line.empty() && index < count && chunk[index] == '\n'; ++index)
        ++appended.strayLineFeeds;
    for (; index < count; ++index)
    {
        ++appended.taken;
        if (!CSerialBase::AppendReplyByte(line, chunk[index], lineFeedEndsLine))
            continue;
        appended.ended = true;
        ++index;
        if (!lineFeedEndsLine && chunk[index - 1] == '\r' && index < count && chunk[index] == '\n')
        {
            ++appended.taken;
            ++index;
        }
        m_bytes.insert(0, chunk + index, static_cast<size_t>(count - index));
        break;
    }
    return appended;
}
