#include "SimEngine.h"

#include "SimCoreCommands.h"
#include "SimPlugins.h"
#include "SimRequest.h"

#include <algorithm>

namespace
{
constexpr int kUnknownCommand = 123;
constexpr int kMessageTooLong = 102;

ESimFamily FamilyOf(const std::string& header)
{
    if (header.rfind("TEC:", 0) == 0)
        return ESimFamily::Tec;
    if (header.rfind("LAS:", 0) == 0)
        return ESimFamily::Laser;
    if (header.rfind("LPS:", 0) == 0)
        return ESimFamily::Lps;
    return ESimFamily::None;
}
} // namespace

CSimEngine::CSimEngine(SSimModel model)
    : m_model(model), m_unit(std::move(model)), m_lastSync(std::chrono::steady_clock::now())
{
    RegisterSimCoreCommands(m_registry);
    RegisterSimPlugins(m_registry);
}

std::string CSimEngine::Receive(SSimSession& session, std::string_view bytes)
{
    std::lock_guard lock(m_mutex);
    std::string out;
    const bool silent = Faults().silent;
    for (char c : bytes)
    {
        if (m_unit.terminalEcho && !silent)
            out += c;
        if (c != '\r' && c != '\n')
        {
            if (session.partial.size() < kMaxLine)
                session.partial += c;
            else
                session.overflow = true;
            continue;
        }
        std::string line;
        line.swap(session.partial);
        if (session.overflow)
        {
            session.overflow = false;
            m_log.Add(line);
            if (!silent)
                m_unit.PushError(kMessageTooLong);
            continue;
        }
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        m_log.Add(line);
        if (!silent)
            out += ProcessLine(line);
    }
    return out;
}

std::string CSimEngine::Request(std::string_view line)
{
    std::string reply = Receive(m_local, std::string(line) + "\n");
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r'))
        reply.pop_back();
    return reply;
}

// Runs the parts of one line and returns the reply line (with CR LF), or nothing when no part
// answered.
std::string CSimEngine::ProcessLine(const std::string& line)
{
    SyncTime();
    m_unit.SetRemote(true);
    std::string path;
    std::string reply;
    bool answered = false;
    for (const SSimPart& part : ParseSimLine(line))
    {
        std::string header = part.header;
        // A relative header is tried under the previous part's path, then under each shorter one, so
        // "SET:R?" after "TEC:SET:ITE?" reaches "TEC:SET:R?".
        for (std::string prefix = path; !part.absolute && !prefix.empty();
             prefix = SimHeaderPath(std::string_view(prefix).substr(0, prefix.size() - 1)))
        {
            if (m_registry.Has(prefix + header))
            {
                header = prefix + header;
                break;
            }
        }
        const CSimCommandRegistry::Handler* handler = m_registry.Find(header);
        if (!handler)
        {
            m_unit.PushError(kUnknownCommand);
            continue;
        }
        if (header.find(':') != std::string::npos)
            path = SimHeaderPath(header);
        const ESimFamily family = FamilyOf(header);
        const int channel = family == ESimFamily::None ? 0 : m_unit.SelectedIndex(family);
        const SSimResult result = (*handler)(m_unit, channel, part.args);
        if (result.error > 0)
            m_unit.PushError(result.error);
        else if (result.hasAnswer)
        {
            reply += (answered ? "," : "") + result.answer;
            answered = true;
        }
    }
    if (!answered)
        return {};
    return ApplyFaults(std::move(reply));
}

std::string CSimEngine::ApplyFaults(std::string reply)
{
    ++m_replyCount;
    const int dropEvery = Faults().dropEvery;
    if (dropEvery > 0 && m_replyCount % dropEvery == 0)
        return {};
    if (Faults().truncate)
    {
        const size_t comma = reply.rfind(',');
        reply.resize(comma != std::string::npos ? comma : reply.size() / 2);
    }
    if (Faults().garble && !reply.empty())
    {
        char& victim = reply[reply.size() / 2];
        victim = static_cast<char>(victim ^ 0x5A);
        if (victim == '\r' || victim == '\n' || victim == ',')
            victim = '?';
    }
    return reply + "\r\n";
}

void CSimEngine::SyncTime()
{
    const auto now = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(now - m_lastSync).count();
    m_lastSync = now;
    if (!m_manualTime)
        m_registry.Advance(m_unit, std::min(elapsed * m_timeScale, CSimCommandRegistry::kMaxCatchUp));
}

void CSimEngine::SetTimeScale(double scale)
{
    std::lock_guard lock(m_mutex);
    SyncTime();
    m_timeScale = scale;
}

void CSimEngine::SetManualTime(bool manual)
{
    std::lock_guard lock(m_mutex);
    SyncTime();
    m_manualTime = manual;
}

void CSimEngine::AdvanceTime(double seconds)
{
    std::lock_guard lock(m_mutex);
    SyncTime();
    m_registry.Advance(m_unit, seconds);
}

double CSimEngine::Now()
{
    std::lock_guard lock(m_mutex);
    SyncTime();
    return m_unit.Now();
}
