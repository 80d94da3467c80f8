#include "support/CaptureSink.h"

#include "diag/DiagSink.h"

#include <algorithm>

CaptureSink::CaptureSink(uint32_t category, uint32_t level) : m_category(category)
{
    CDiagSink::SetSink(
        [this](const std::string& line)
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_lines.push_back(MessageOf(line));
        });
    CEventLog::Instance().SetCategory(category, level, 1);
}

CaptureSink::~CaptureSink()
{
    CEventLog::Instance().SetCategory(m_category, 0, 0);
    CDiagSink::ResetSink();
}

std::vector<std::string> CaptureSink::Lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

bool CaptureSink::Contains(const std::string& message) const
{
    return Count(message) > 0;
}

size_t CaptureSink::Count(const std::string& message, bool prefix) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<size_t>(std::count_if(
        m_lines.begin(), m_lines.end(),
        [&](const std::string& line) { return prefix ? line.rfind(message, 0) == 0 : line == message; }));
}

void CaptureSink::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.clear();
}

std::string CaptureSink::MessageOf(const std::string& line)
{
    std::string message = line;
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n'))
        message.pop_back();
    // "%9.3f: " - nine characters of blanks, digits and a point, then a colon and a blank.
    const bool timed = message.size() >= 11 && message[9] == ':' && message[10] == ' ' &&
                       std::all_of(message.begin(), message.begin() + 9,
                                   [](char c) { return c == ' ' || c == '.' || (c >= '0' && c <= '9'); });
    return timed ? message.substr(11) : message;
}
