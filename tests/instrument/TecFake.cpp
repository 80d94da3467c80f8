#include "TecFake.h"

#include <algorithm>
#include <cctype>

namespace
{
std::string Normalise(std::string part)
{
    part.erase(0, part.find_first_not_of(' '));
    part.erase(part.find_last_not_of(' ') + 1);
    std::transform(part.begin(), part.end(), part.begin(), [](unsigned char c) { return std::toupper(c); });
    if (!part.empty() && part.front() == ':')
    {
        part.erase(0, 1);
    }
    if (part.rfind("TEC:", 0) == 0)
    {
        part.erase(0, 4);
    }
    return part;
}
} // namespace

TecFake::TecFake() : m_answers{{"ERR?", "0"}}
{
    m_responder = std::make_unique<LineResponder>(m_pty.MasterFd(),
                                                  [this](const std::string& line) { return Answer(line); });
}

TecFake::~TecFake()
{
    m_responder.reset();
}

void TecFake::Set(const std::string& key, const std::string& answer)
{
    std::lock_guard lock(m_lock);
    m_answers[key] = answer;
}

std::vector<std::string> TecFake::Lines() const
{
    std::lock_guard lock(m_lock);
    return m_lines;
}

size_t TecFake::CountLines(const std::string& line) const
{
    std::lock_guard lock(m_lock);
    return static_cast<size_t>(std::count(m_lines.begin(), m_lines.end(), line));
}

void TecFake::ClearLines()
{
    std::lock_guard lock(m_lock);
    m_lines.clear();
}

std::string TecFake::Answer(const std::string& line)
{
    std::lock_guard lock(m_lock);
    m_lines.push_back(line);
    std::string reply;
    size_t start = 0;
    while (start <= line.size())
    {
        const size_t end = std::min(line.find(';', start), line.size());
        const std::string part = Normalise(line.substr(start, end - start));
        start = end + 1;
        if (part.find('?') == std::string::npos)
        {
            continue;
        }
        const auto answer = m_answers.find(part);
        if (answer != m_answers.end())
        {
            reply += (reply.empty() ? "" : ",") + answer->second;
        }
    }
    return reply.empty() ? reply : reply + "\r\n";
}
