#include "support/ScriptedUnit.h"

#include "comm/PortResolver.h"

#include <algorithm>
#include <atomic>
#include <cctype>

namespace
{

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

int NextPortNumber()
{
    static std::atomic<int> next{200};
    return next++;
}

} // namespace

ScriptedUnit::ScriptedUnit() : m_portNumber(NextPortNumber()) {}

ScriptedUnit::~ScriptedUnit()
{
    m_responder.reset();
    CPortResolver::Unregister(m_portNumber);
}

std::string ScriptedUnit::SerialDescriptor(int baud)
{
    CPortResolver::Register(m_portNumber, m_pty.SlavePath());
    return "COM:" + std::to_string(m_portNumber) + ":" + std::to_string(baud);
}

std::string ScriptedUnit::NetworkDescriptor()
{
    return m_server.Descriptor();
}

void ScriptedUnit::StartSerial()
{
    m_responder = std::make_unique<LineResponder>(m_pty.MasterFd(),
                                                  [this](const std::string& line) { return Answer(line); });
}

bool ScriptedUnit::AcceptNetwork(int timeoutMs)
{
    if (!m_server.Accept(timeoutMs))
        return false;
    m_responder = std::make_unique<LineResponder>(m_server.ClientFd(),
                                                  [this](const std::string& line) { return Answer(line); });
    return true;
}

void ScriptedUnit::Unplug()
{
    m_responder.reset();
    m_pty.CloseMaster();
}

void ScriptedUnit::SetAnswer(const std::string& query, const std::string& answer)
{
    std::lock_guard lock(m_lock);
    m_answers[query] = answer;
}

void ScriptedUnit::RemoveAnswer(const std::string& query)
{
    std::lock_guard lock(m_lock);
    m_answers.erase(query);
}

void ScriptedUnit::PushError(int number)
{
    std::lock_guard lock(m_lock);
    m_errors.push_back(number);
}

void ScriptedUnit::SetOverride(Override handler)
{
    std::lock_guard lock(m_lock);
    m_override = std::move(handler);
}

void ScriptedUnit::ScriptIdentity(const std::string& idn, const std::string& revision,
                                  const std::string& model, const std::string& build,
                                  const std::string& version)
{
    SetAnswer("*IDN?", idn);
    if (!revision.empty())
        SetAnswer("REV?", revision);
    SetAnswer("MODEL?", model);
    SetAnswer("BUILD?", build);
    SetAnswer("VER?", version);
    SetAnswer("SN?", "SN1234");
    SetAnswer("CALDATE?", "2024-05-01");
}

std::vector<std::string> ScriptedUnit::Lines() const
{
    std::lock_guard lock(m_lock);
    return m_lines;
}

size_t ScriptedUnit::Count(const std::string& line) const
{
    std::lock_guard lock(m_lock);
    return static_cast<size_t>(std::count(m_lines.begin(), m_lines.end(), line));
}

bool ScriptedUnit::WaitForLine(const std::string& line, size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(
        lock, timeout,
        [&] { return static_cast<size_t>(std::count(m_lines.begin(), m_lines.end(), line)) >= count; });
}

std::string ScriptedUnit::Answer(const std::string& line)
{
    if (m_requiredBaud != 0 && m_pty.SlaveBaud() != m_requiredBaud)
        return {};
    Override handler;
    {
        std::lock_guard lock(m_lock);
        m_lines.push_back(line);
        handler = m_override;
    }
    m_changed.notify_all();
    std::string reply;
    if (handler && handler(line, reply))
        return reply;

    std::string joined;
    bool any = false;
    size_t start = 0;
    while (start <= line.size())
    {
        size_t end = line.find(';', start);
        std::string part =
            Trim(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        bool answered = false;
        std::string answer = AnswerPart(part, answered);
        if (answered)
        {
            joined += (any ? "," : "") + answer;
            any = true;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return any ? joined + "\r\n" : std::string();
}

std::string ScriptedUnit::AnswerPart(const std::string& part, bool& answered)
{
    answered = false;
    std::string header = Upper(part);
    if (header.empty() || header.back() != '?')
        return {};
    std::lock_guard lock(m_lock);
    if (header == "ERR?")
    {
        answered = true;
        std::string errors;
        for (int number : m_errors)
            errors += (errors.empty() ? "" : ",") + std::to_string(number);
        m_errors.clear();
        return errors.empty() ? "0" : errors;
    }
    auto found = m_answers.find(header);
    if (found == m_answers.end())
    {
        m_errors.push_back(123);
        return {};
    }
    answered = true;
    return found->second;
}
