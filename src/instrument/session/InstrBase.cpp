#include "instrument/session/InstrBase.h"

#include "comm/PortDescriptor.h"
#include "diag/EventLog.h"
#include "instrument/session/ErrorTable.h"
#include "instrument/session/HexBytes.h"
#include "instrument/session/Identification.h"
#include "instrument/session/ReadingFreshness.h"
#include "instrument/session/WaitWatch.h"
#include "instrument/valuebags/ValuesBag.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

namespace
{

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kDrainLineLimit = 64; // a unit that never stops talking must not hold a retry forever
constexpr int kByteWriteTries = 3;
constexpr int kProbeAttempts = 2;
constexpr int kQuietByteTimes = 10;  // silence on a serial line that ends the drain before identifying
constexpr int kQuietSerialMinMs = 5; // what the scheduler of a busy machine may hold back a byte for
constexpr int kQuietNetworkMs = 30;  // a network link delivers in segments, some ms apart

bool IsWholeNumber(std::string_view field)
{
    return Identification::ParseWhole(field).has_value();
}

// Per thread, so that a poll thread's own commands never overwrite what a caller is told.
thread_local ECommandOutcome t_lastCommandOutcome = ECommandOutcome::None;

// Puts ";" between joined commands unless the text so far already ends a command or a line.
void AppendJoined(std::string& line, std::string_view command)
{
    if (!line.empty() && line.back() != ';' && line.back() != '\n' && line.back() != '\r')
        line += ';';
    line += command;
}

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string FormatText(const char* format, ...)
{
    char buffer[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

uint64_t AssembleValue(const std::vector<uint8_t>& bytes, bool swapBytes)
{
    uint64_t value = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        size_t shiftIndex = swapBytes ? bytes.size() - 1 - i : i;
        value |= static_cast<uint64_t>(bytes[i]) << (8 * shiftIndex);
    }
    return value;
}

std::vector<uint8_t> SplitValue(uint64_t value, int size, bool swapBytes)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
    {
        int shiftIndex = swapBytes ? size - 1 - i : i;
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * shiftIndex));
    }
    return bytes;
}

} // namespace

CInstrBase::CInstrBase() : m_port(std::make_unique<CSerial>()) {}

CInstrBase::~CInstrBase()
{
    // A thread still running here would call into a half-destroyed object; end it first.
    m_stopRequested = true;
    NotifyStateChange();
    if (m_thread.joinable())
        m_thread.join();
}

bool CInstrBase::HasLaserChannel() const
{
    return false;
}

bool CInstrBase::HasTECChannel() const
{
    return false;
}

int CInstrBase::GetErrorCount() const
{
    return m_errors.GetErrorCount();
}

std::string CInstrBase::QueryErrorCodes()
{
    return Query("ERR?");
}

CErrorMsg CInstrBase::GetError(int index, bool remove)
{
    return m_errors.GetError(index, remove);
}

void CInstrBase::ClearErrors()
{
    m_errors.ClearErrors();
}

bool CInstrBase::Reserved7()
{
    return false;
}

bool CInstrBase::Reserved8()
{
    return false;
}

void CInstrBase::CountDecimals(std::string_view text, int& count) const
{
    count = 0;
    size_t dot = text.find('.');
    if (dot == std::string_view::npos)
        return;
    for (size_t i = dot + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        ++count;
}

// ---------------------------------------------------------------------------------------------------
// Primitives on the caller's thread

bool CInstrBase::CommandRaw(std::string_view command)
{
    if (!IsPortOpen())
        return false;
    CWaitWatch::Note(command);
    std::string text;
    if (m_usePrefix > 0)
        text = GetCommandPrefix();
    text += command;
    if (text.empty() || (text.back() != '\n' && text.back() != '\r'))
        text += '\n';
    return m_port->LockedWrite(text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
}

std::string CInstrBase::QueryDirect(std::string_view command, int timeoutMs)
{
    if (!IsPortOpen())
        return {};
    // A reply still owed to an earlier question would be read as this one's answer: wait it out first.
    DiscardLateReplies();
    m_port->Purge();
    const int64_t sentAt = CLinkSilence::NowMs();
    if (!CommandRaw(command))
        return {};
    std::string reply = m_port->ReadLine(EffectiveTimeout(timeoutMs));
    if (reply.empty())
        m_port->Silence().Unanswered(sentAt);
    else
        m_port->Silence().Answered();
    if (reply.empty() && ExpectsReply(command))
    {
        CLateReplies& late = m_port->GetLateReplies();
        late.Owe(Clock::now() + milliseconds(late.GetWaitMs()));
    }
    return reply;
}

int64_t CInstrBase::FreshnessCeilingMs() const
{
    return CReadingFreshness::CeilingForBaud(m_port->GetBaud());
}

bool CInstrBase::CountPollQuery(bool accepted)
{
    if (accepted)
        m_failedPolls.store(0);
    else if (!IsStopRequested())
        m_failedPolls.fetch_add(1);
    return accepted;
}

void CInstrBase::NoteReplyForm(bool fitted)
{
    CLateReplies& late = m_port->GetLateReplies();
    if (fitted)
        late.Narrow();
    else
        late.Widen(EffectiveTimeout(-1));
}

void CInstrBase::DiscardLateReplies()
{
    m_port->GetLateReplies().Discard([this](int waitMs) { return m_port->ReadLine(waitMs); });
}

bool CInstrBase::CommandChecked(std::string_view command, bool reportErrors)
{
    if (!IsPortOpen())
    {
        t_lastCommandOutcome = ECommandOutcome::NotSent;
        return false;
    }
    if (command.empty())
        return true;
    std::string text(command);
    text += "\nerr?\n";
    std::string reply = QueryDirect(text, -1);
    if (reply == "0")
    {
        t_lastCommandOutcome = ECommandOutcome::Accepted;
        return true;
    }
    // No answer to the error check does not mean the command stayed home: it went out with it.
    t_lastCommandOutcome = IsErrorList(reply) ? ECommandOutcome::Refused : ECommandOutcome::Unconfirmed;
    if (reportErrors)
        AddErrorsFromReply(reply, 0);
    return false;
}

ECommandOutcome CInstrBase::LastCommandOutcome()
{
    return t_lastCommandOutcome;
}

void CInstrBase::ResetLastCommandOutcome()
{
    t_lastCommandOutcome = ECommandOutcome::None;
}

void CInstrBase::AddErrorsFromReply(std::string_view reply, size_t start)
{
    m_errors.AddErrorsFromReply(reply, start);
}

bool CInstrBase::DrainAfterBadReply(bool timedOut)
{
    TAMRIX_LOG(ccComm, 1, "Error detected, or missing data! Purging input buffer...\n");
    // After a time-out the next query first waits out the late reply; a reply of the wrong form means
    // the unit may still be talking, so what follows it is read away here.
    if (!timedOut)
    {
        if (WaitForStop(RetryPauseMs))
            return false;
        for (int i = 0; i < kDrainLineLimit && IsPortOpen() && !m_stopRequested; ++i)
            if (m_port->ReadLine(RetryPauseMs).empty())
                break;
    }
    // A closed port or a stop of the polling thread ends the retries; the caller gets a failure.
    if (!IsPortOpen())
        return false;
    return !(m_stopRequested && m_threadRunning);
}

bool CInstrBase::QueryChecked(std::string_view command, bool checkErrors, std::string& value)
{
    std::string line = "\n";
    line += command;
    if (checkErrors)
        AppendJoined(line, "ERR?");
    line += '\n';
    for (int attempt = 0; attempt < QueryAttempts; ++attempt)
    {
        std::string reply = QueryDirect(line, -1);
        size_t comma = reply.find(',');
        // With the check, everything after the value is the error list: numbers only, or the reply
        // belongs to another question.
        bool complete =
            !reply.empty() && (!checkErrors || (comma != std::string::npos &&
                                                IsErrorList(std::string_view(reply).substr(comma + 1))));
        if (!reply.empty())
            NoteReplyForm(complete);
        if (complete)
        {
            if (checkErrors)
                AddErrorsFromReply(reply, comma + 1);
            value = reply.substr(0, comma);
            return true;
        }
        if (!DrainAfterBadReply(reply.empty()))
            return false;
    }
    return false;
}

bool CInstrBase::QueryList(const std::vector<std::string>& commands, std::vector<std::string>& values,
                           bool oneByOne, bool checkErrors)
{
    if (oneByOne)
    {
        std::vector<std::string> collected;
        for (const std::string& command : commands)
        {
            std::string value;
            if (!QueryChecked(command, false, value))
                return false;
            collected.push_back(std::move(value));
        }
        values = std::move(collected);
        if (checkErrors)
            AddErrorsFromReply(QueryDirect("ERR?\n", -1), 0);
        return true;
    }

    std::string line = "\n";
    for (const std::string& command : commands)
        AppendJoined(line, command);
    if (checkErrors)
        AppendJoined(line, "ERR?");
    line += '\n';
    const size_t needed = commands.size() + (checkErrors ? 1 : 0);
    for (int attempt = 0; attempt < QueryAttempts; ++attempt)
    {
        std::string reply = QueryDirect(line, -1);
        std::vector<std::string_view> fields = Identification::SplitFields(reply);
        // One field per query, then (with the check) error numbers only: a reply of another length or
        // with text where the error list belongs answers another question.
        const bool fits = checkErrors ? fields.size() >= needed &&
                                            std::all_of(fields.begin() + static_cast<long>(commands.size()),
                                                        fields.end(), IsWholeNumber)
                                      : fields.size() == needed;
        if (!reply.empty())
            NoteReplyForm(fits);
        if (fits && !fields.empty())
        {
            values.assign(fields.begin(), fields.begin() + static_cast<long>(commands.size()));
            if (checkErrors)
            {
                // The error numbers begin where the field after the last value begins.
                size_t errorStart = static_cast<size_t>(fields[commands.size()].data() - reply.data());
                AddErrorsFromReply(reply, errorStart);
            }
            return true;
        }
        if (!DrainAfterBadReply(reply.empty()))
            return false;
    }
    return false;
}

bool CInstrBase::ExpectsReply(std::string_view command)
{
    return command.find_first_not_of(" \t\r\n") != std::string_view::npos;
}

bool CInstrBase::IsErrorList(std::string_view text)
{
    const std::vector<std::string_view> fields = Identification::SplitFields(text);
    return !fields.empty() && std::all_of(fields.begin(), fields.end(), IsWholeNumber);
}

// ---------------------------------------------------------------------------------------------------
// Routed query and command

bool CInstrBase::OnBackgroundThread() const
{
    return m_threadId.load() == std::this_thread::get_id();
}

int CInstrBase::EffectiveTimeout(int timeoutMs) const
{
    return timeoutMs < 0 ? m_defaultTimeoutMs.load() : timeoutMs;
}

std::string CInstrBase::Query(std::string_view command, int timeoutMs)
{
    // The poll thread itself (a poll hook, a value bag read while polling) talks to the port directly.
    if (!IsPolling() || OnBackgroundThread())
        return QueryDirect(command, -1);

    // Empty text marks a free slot, so it can never be handed over; nothing would answer it.
    if (command.empty())
        return {};
    CWaitWatch::Note(command);
    const auto deadline = Clock::now() + milliseconds(EffectiveTimeout(timeoutMs));
    std::unique_lock lock(m_stateLock);
    auto stopped = [&] { return m_stopRequested.load() || !m_threadRunning.load(); };
    // Another caller's request still in the slot goes first.
    if (!m_stateChanged.wait_until(lock, deadline,
                                   [&] { return stopped() || m_pendingQuery.text.empty(); }) ||
        stopped())
    {
        if (!stopped())
            TAMRIX_LOG(ccComm, 1, "Timeout on command: %.*s\n", static_cast<int>(command.size()),
                       command.data());
        return {};
    }
    m_pendingQuery = SPendingSlot{};
    m_pendingQuery.text = command;
    m_pendingQuery.ticket = ++m_nextTicket;
    m_stateChanged.notify_all();
    const bool answered =
        m_stateChanged.wait_until(lock, deadline, [&] { return stopped() || m_pendingQuery.done; });
    // Collected, or given up: either way the request leaves the slot, so a late answer reaches nobody.
    SPendingSlot finished = std::exchange(m_pendingQuery, SPendingSlot{});
    m_stateChanged.notify_all();
    if (!answered)
        TAMRIX_LOG(ccComm, 1, "Timeout on command: %.*s\n", static_cast<int>(command.size()), command.data());
    return finished.done ? std::move(finished.reply) : std::string{};
}

bool CInstrBase::Command(std::string_view command, bool checkErrors, int timeoutMs)
{
    if (!IsPolling() || OnBackgroundThread())
        return checkErrors ? CommandChecked(command, true) : CommandRaw(command);

    std::unique_lock lock(m_stateLock);
    // Empty text marks a free slot: an empty command answers the last result at once.
    if (command.empty())
        return m_lastCommandResult;
    CWaitWatch::Note(command);
    const auto deadline = Clock::now() + milliseconds(EffectiveTimeout(timeoutMs));
    auto stopped = [&] { return m_stopRequested.load() || !m_threadRunning.load(); };
    if (!m_stateChanged.wait_until(lock, deadline,
                                   [&] { return stopped() || m_pendingCommand.text.empty(); }) ||
        stopped())
    {
        if (checkErrors)
            t_lastCommandOutcome = ECommandOutcome::NotSent;
        return false;
    }
    m_pendingCommand = SPendingSlot{};
    m_pendingCommand.text = command;
    m_pendingCommand.ticket = ++m_nextTicket;
    m_pendingCheckErrors = checkErrors;
    m_stateChanged.notify_all();
    m_stateChanged.wait_until(lock, deadline, [&] { return stopped() || m_pendingCommand.done; });
    // Not carried out in time: withdrawn, so a command the caller was told failed does not run later.
    const SPendingSlot finished = std::exchange(m_pendingCommand, SPendingSlot{});
    m_stateChanged.notify_all();
    m_lastCommandResult = finished.done && finished.result;
    // Given up while the poll thread was carrying it out: it may well have reached the unit.
    if (checkErrors)
        t_lastCommandOutcome = finished.done    ? finished.outcome
                               : finished.taken ? ECommandOutcome::Unconfirmed
                                                : ECommandOutcome::NotSent;
    return m_lastCommandResult;
}

bool CInstrBase::CommandFormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0)
        return false;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return Command(text, true);
}

bool CInstrBase::CommandFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool result = CommandFormatV(format, args);
    va_end(args);
    return result;
}

bool CInstrBase::FinishPendingQuery()
{
    std::string command;
    uint64_t ticket = 0;
    {
        std::lock_guard lock(m_stateLock);
        if (m_pendingQuery.text.empty() || m_pendingQuery.taken)
            return false;
        m_pendingQuery.taken = true;
        command = m_pendingQuery.text;
        ticket = m_pendingQuery.ticket;
    }
    std::string reply = QueryDirect(command, -1);
    std::lock_guard lock(m_stateLock);
    if (m_pendingQuery.ticket == ticket)
    {
        m_pendingQuery.reply = std::move(reply);
        m_pendingQuery.done = true;
        m_stateChanged.notify_all();
    }
    return true;
}

bool CInstrBase::FinishPendingCommand()
{
    std::string command;
    uint64_t ticket = 0;
    bool checkErrors = false;
    {
        std::lock_guard lock(m_stateLock);
        if (m_pendingCommand.text.empty() || m_pendingCommand.taken)
            return false;
        m_pendingCommand.taken = true;
        command = m_pendingCommand.text;
        ticket = m_pendingCommand.ticket;
        checkErrors = m_pendingCheckErrors;
    }
    bool result = checkErrors ? CommandChecked(command, true) : CommandRaw(command);
    std::lock_guard lock(m_stateLock);
    if (m_pendingCommand.ticket == ticket)
    {
        m_pendingCommand.result = result;
        m_pendingCommand.outcome = t_lastCommandOutcome;
        m_pendingCommand.done = true;
        m_stateChanged.notify_all();
    }
    return true;
}

void CInstrBase::ProcessPending()
{
    while (!m_stopRequested)
    {
        std::string traced;
        {
            std::lock_guard lock(m_stateLock);
            bool query = !m_pendingQuery.text.empty() && !m_pendingQuery.taken;
            bool command = !m_pendingCommand.text.empty() && !m_pendingCommand.taken;
            if (!query && !command)
                return;
            traced = query ? m_pendingQuery.text : m_pendingCommand.text;
        }
        TAMRIX_LOG(ccComm, 2, "BackgroundProcessPendingCommandOrQuerty start: %s\n", traced.c_str());
        WaitForStop(1);
        FinishPendingQuery();
        FinishPendingCommand();
    }
}

// ---------------------------------------------------------------------------------------------------
// Background thread

void CInstrBase::NotifyStateChange()
{
    // Taking the lock orders the flag change before any waiter's next look at it.
    {
        std::lock_guard lock(m_stateLock);
    }
    m_stateChanged.notify_all();
}

bool CInstrBase::WaitForStop(int timeoutMs)
{
    std::unique_lock lock(m_stateLock);
    return m_stateChanged.wait_for(lock, milliseconds(timeoutMs), [&] { return m_stopRequested.load(); });
}

void CInstrBase::ResetThreadFlags()
{
    m_stopRequested = false;
    m_threadRunning = false;
    m_firstCycleDone = false;
    m_userFlag = false;
    m_paused = false;
    {
        // Pauses still held (a dialog open across a restart of polling) keep it paused.
        std::lock_guard lock(m_stateLock);
        m_pauseRequested = m_pauseHolds > 0;
    }
    NotifyStateChange();
}

void CInstrBase::ThreadMain()
{
    m_threadId = std::this_thread::get_id();
    // However the loop ends, the thread no longer runs: a stop must not wait for a dead thread.
    struct SEndGuard
    {
        CInstrBase& self;
        ~SEndGuard()
        {
            self.m_activity = -1;
            self.m_paused = false;
            self.m_threadRunning = false;
            self.m_threadId = std::thread::id{};
            self.m_threadAlive = false;
            self.NotifyStateChange();
        }
    } guard{*this};
    try
    {
        BackgroundThreadLoop();
    }
    catch (const std::exception& e)
    {
        TAMRIX_LOG(ccComm, 1, "Background thread ended by an exception: %s\n", e.what());
    }
    catch (...)
    {
        TAMRIX_LOG(ccComm, 1, "Background thread ended by an exception\n");
    }
}

void CInstrBase::BackgroundThreadLoop()
{
    m_threadRunning = true;
    m_firstCycleDone = false;
    m_completedCycles = 0;
    NotifyStateChange();
    CommandChecked("\r\n", true);
    while (!m_stopRequested && IsPortOpen())
    {
        const auto cycleStart = Clock::now();
        const uint64_t flags = m_pollFlags.load();
        m_activity = 3;
        PollHook1(flags);
        PollHook2(flags);
        PollHook3(flags);
        m_activity = -1;
        ProcessPending();
        m_firstCycleDone = true;
        if (!m_stopRequested)
        {
            m_completedCycles.fetch_add(1);
            if (m_cycleListener)
                m_cycleListener();
        }
        if (m_pauseRequested)
        {
            if (m_stopRequested)
                break;
            m_paused = true;
            NotifyStateChange();
            {
                std::unique_lock lock(m_stateLock);
                while (m_pauseRequested && !m_stopRequested)
                    m_stateChanged.wait_for(lock, milliseconds(10));
                // Cleared under the lock a pause request takes: a request that still finds the loop
                // paused is one it will honour, never one it has already left behind.
                m_paused = false;
            }
            NotifyStateChange();
            continue;
        }
        WaitOutPeriod(cycleStart + milliseconds(m_pollPeriodMs.load()));
    }
    CommandRaw("LOCAL");
    m_threadRunning = false;
    NotifyStateChange();
}

void CInstrBase::WaitOutPeriod(Clock::time_point end)
{
    for (;;)
    {
        {
            std::unique_lock lock(m_stateLock);
            const bool woken = m_stateChanged.wait_until(
                lock, end,
                [&]
                {
                    return m_stopRequested || m_pauseRequested ||
                           (!m_pendingQuery.text.empty() && !m_pendingQuery.taken) ||
                           (!m_pendingCommand.text.empty() && !m_pendingCommand.taken);
                });
            if (!woken || m_stopRequested || m_pauseRequested)
                return;
        }
        ProcessPending();
    }
}

bool CInstrBase::StartBackgroundThread(int periodMs)
{
    SetPollPeriodMs(periodMs);
    if (m_threadRunning)
        return true;
    if (m_thread.joinable())
        m_thread.join(); // the previous thread has left its loop
    ResetThreadFlags();
    m_threadAlive = true;
    m_thread = std::thread([this] { ThreadMain(); });
    std::unique_lock lock(m_stateLock);
    m_stateChanged.wait_for(lock, milliseconds(1000), [&] { return m_threadRunning || !m_threadAlive; });
    return m_threadRunning;
}

bool CInstrBase::StopBackgroundThread(int timeoutMs)
{
    if (!m_threadRunning)
    {
        if (m_thread.joinable() && !m_threadAlive)
            m_thread.join();
        return true;
    }
    m_stopRequested = true;
    NotifyStateChange();
    bool ended = false;
    {
        std::unique_lock lock(m_stateLock);
        ended = m_stateChanged.wait_for(lock, milliseconds(timeoutMs), [&] { return !m_threadRunning; });
    }
    if (ended && m_thread.joinable() && !OnBackgroundThread())
        m_thread.join();
    return ended;
}

bool CInstrBase::PauseBackgroundThread(bool pause, int timeoutMs)
{
    if (!m_threadRunning)
        return true;
    std::unique_lock lock(m_stateLock);
    if (pause)
    {
        m_pauseRequested = true;
        m_stateChanged.notify_all();
        if (m_paused)
            return true;
        m_stateChanged.wait_for(lock, milliseconds(timeoutMs), [&] { return m_paused || !m_threadRunning; });
        return m_paused;
    }
    m_pauseRequested = false;
    m_stateChanged.notify_all();
    if (!m_paused)
        return false;
    m_stateChanged.wait_for(lock, milliseconds(timeoutMs), [&] { return !m_paused; });
    return m_paused;
}

bool CInstrBase::HoldPause(int timeoutMs)
{
    std::unique_lock lock(m_stateLock);
    ++m_pauseHolds;
    m_pauseRequested = true;
    m_stateChanged.notify_all();
    if (!m_threadRunning)
        return true;
    m_stateChanged.wait_for(lock, milliseconds(timeoutMs), [&] { return m_paused || !m_threadRunning; });
    return m_paused || !m_threadRunning;
}

void CInstrBase::ReleasePause()
{
    std::lock_guard lock(m_stateLock);
    if (m_pauseHolds > 0 && --m_pauseHolds == 0)
    {
        m_pauseRequested = false;
        m_stateChanged.notify_all();
    }
}

int CInstrBase::GetPauseHolds() const
{
    std::lock_guard lock(m_stateLock);
    return m_pauseHolds;
}

bool CInstrBase::IsPaused() const
{
    return m_paused;
}

bool CInstrBase::IsPolling() const
{
    // A loop still paused after the last hold was given back is about to poll again: what is sent now
    // must go through it, not beside it.
    return m_threadRunning && !(m_paused && m_pauseRequested);
}

std::string CInstrBase::GetCommandPrefix() const
{
    return {};
}

bool CInstrBase::PollHook1(uint64_t)
{
    return true;
}

bool CInstrBase::PollHook2(uint64_t)
{
    return true;
}

bool CInstrBase::PollHook3(uint64_t)
{
    return true;
}

bool CInstrBase::GetUserFlag() const
{
    return m_userFlag;
}

void CInstrBase::ClearUserFlag()
{
    m_userFlag = false;
}

void CInstrBase::SetPollFlags(uint64_t flags)
{
    m_pollFlags = flags;
}

uint64_t CInstrBase::GetPollFlags() const
{
    return m_pollFlags;
}

// ---------------------------------------------------------------------------------------------------
// Connection and identity

bool CInstrBase::IsPortOpen() const
{
    return m_port && m_port->IsOpen();
}

int CInstrBase::GetPortNumber() const
{
    return m_port ? m_port->GetPortNumber() : 0;
}

void CInstrBase::SetPort(std::unique_ptr<CSerial> port)
{
    m_port = std::move(port);
}

void CInstrBase::SetValueBag(std::unique_ptr<CValuesBag> bag)
{
    m_valueBag = std::move(bag);
}

bool CInstrBase::ConnectPort(int portNumber, int baud)
{
    return Connect(FormatText("COM:%d:%d", portNumber, baud));
}

bool CInstrBase::ConnectOnce(const std::string& descriptor)
{
    if (!m_port->OpenDescriptor(descriptor))
        return false;
    return ProbeBuild();
}

bool CInstrBase::Connect(const std::string& descriptor)
{
    std::optional<PortDescriptor> parsed = PortDescriptor::Parse(descriptor);
    const bool serial = parsed && parsed->kind == "COM";
    const int portNumber = serial ? PortDescriptor::ToInt(parsed->first) : 0;
    const bool automaticBaud = serial && PortDescriptor::ToInt(parsed->second) == 0;

    Disconnect();
    m_serialMismatch = false;
    m_identityRefused = false;
    m_failedPolls = 0;
    if (!m_port->OpenDescriptor(descriptor))
    {
        Disconnect();
        return false;
    }
    bool answered = ProbeBuild();
    if (!answered && automaticBaud)
    {
        // Baud 0 opened at the channel default of 38400; a unit set to 9600 answers only there.
        Disconnect();
        answered = ConnectOnce(FormatText("COM:%d:%d", portNumber, 9600));
    }
    if (answered && Identify(true))
        return true;
    Disconnect();
    return false;
}

void CInstrBase::Disconnect()
{
    StopBackgroundThread(DisconnectStopTimeoutMs);
    if (IsPortOpen())
    {
        Command("local\r\n", false);
        m_port->Close();
    }
    m_stopRequested = false;
    m_threadRunning = false;
    m_userFlag = false;
    m_identified = false;
    ClearIdentityTexts();
    if (m_valueBag)
        m_valueBag->Forget();
}

bool CInstrBase::ProbeBuild()
{
    // Asked twice: one reply lost on the way must not send an automatic baud rate to 9600.
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt)
        if (!Query("BUILD?\n").empty())
            return true;
    return false;
}

int CInstrBase::IdentificationTimeout() const
{
    // Over a network link every answer also travels the link's round trip (a far gateway).
    return EffectiveTimeout(-1) + 2 * m_port->GetConnectRoundTripMs();
}

int CInstrBase::QuietLineMs() const
{
    if (const int baud = m_port->GetBaud(); baud > 0)
        return std::max(kQuietSerialMinMs, (kQuietByteTimes * 10 * 1000 + baud - 1) / baud);
    return kQuietNetworkMs + 2 * m_port->GetConnectRoundTripMs();
}

std::string CInstrBase::QueryIdentity(std::string_view query, bool (*fits)(std::string_view), bool& readable)
{
    std::string reply;
    for (int attempt = 0; attempt < QueryAttempts && IsPortOpen(); ++attempt)
    {
        reply = QueryDirect(query, IdentificationTimeout());
        if (fits(reply))
            return reply;
        const std::string_view name = query.substr(0, query.find_first_of("\r\n"));
        TAMRIX_LOG(ccComm, 1, "Identification: no usable reply to %.*s: \"%s\"\n",
                   static_cast<int>(name.size()), name.data(), reply.c_str());
    }
    // A reply that came but never in the expected form is unreadable; none at all is merely missing.
    readable = reply.empty();
    return {};
}

bool CInstrBase::Identify(bool force)
{
    if (m_identified && !force)
        return true;
    Command("\n", true);
    Command("TERMINAL OFF;REMERR 0;RADIX DEC;HEXFLOAT 0\r\n", true);

    bool quiet = false;
    for (int i = 0; i < 6 && !quiet; ++i)
    {
        // The unit has answered the error check of the settings; whatever it still sends comes right
        // behind, so a short silence tells that it is done, not the full time-out. The port is the
        // poll thread's while it polls (a hosted channel's host): nothing is read there, as before.
        quiet = (IsPolling() && !OnBackgroundThread()) || QueryDirect("", QuietLineMs()).empty();
        if (!quiet)
            WaitForStop(100);
    }
    if (!quiet)
        return false;

    bool accepted = false;
    for (int i = 0; i < 6 && !accepted && IsPortOpen(); ++i)
        accepted = Identification::StartsWithMaker(QueryDirect("*IDN?\n", IdentificationTimeout()));
    if (!accepted)
        return false;

    // Errors the unit queued before the connect are the user's to see, not to lose.
    bool readable = true;
    AddErrorsFromReply(QueryIdentity("ERR?\n", IsErrorList, readable), 0);
    // Each identity text is asked again when it is missing or not of its form (a reply lost on the
    // way, or one to another question); the connect fails rather than leave a hole in the identity.
    readable = true;
    std::string revision = QueryIdentity("REV?;ERR?\n", Identification::IsRevisionReply, readable);
    if (revision.empty())
        return readable ? false : RefuseIdentityReply("REV?", revision);
    // The fields after the revision are the answer to the error check, not part of it.
    if (const size_t comma = revision.find(','); comma != std::string::npos)
    {
        AddErrorsFromReply(revision, comma + 1);
        revision.resize(comma);
    }
    if (Identification::IsNoRevision(revision))
        revision.clear();
    struct SText
    {
        const char* name;
        bool (*fits)(std::string_view);
        std::string reply;
    };
    std::array<SText, 4> texts{{{"SN?", Identification::IsIdentityText, {}},
                                {"MODEL?", Identification::IsIdentityText, {}},
                                {"VER?", Identification::IsVersionText, {}},
                                {"BUILD?", Identification::IsBuildText, {}}}};
    for (SText& text : texts)
    {
        text.reply = QueryIdentity(std::string(text.name) + "\n", text.fits, readable);
        // The serial number and the model have one form: a model that repeats the serial number is the
        // serial number's reply come late, and the model is asked again.
        for (int again = 0; again < 2 && &text == &texts[1] && text.reply == texts[0].reply; ++again)
            text.reply = QueryIdentity(std::string(text.name) + "\n", text.fits, readable);
        if (&text == &texts[1] && text.reply == texts[0].reply)
            text.reply.clear();
        if (text.reply.empty())
            return readable ? false : RefuseIdentityReply(text.name, text.reply);
    }
    const std::string& build = texts[3].reply;
    // Not every unit keeps a calibration date; its absence does not fail the connect.
    std::string calibrationDate = QueryDirect("CALDATE?\n", IdentificationTimeout());
    if (!Identification::IsIdentityText(calibrationDate))
        calibrationDate.clear();
    {
        std::lock_guard lock(m_identLock);
        m_revision = revision;
        m_serialNumber = texts[0].reply;
        m_model = texts[1].reply;
        m_firmwareVersion = texts[2].reply;
        m_build = build;
        m_calibrationDate = calibrationDate;
    }

    if (!revision.empty())
    {
        std::array<int, 4> codes{};
        // A garbled revision would make the unit another model; refuse it instead of guessing.
        if (Identification::SplitRevision(revision, codes) < 0)
            return RefuseIdentityReply("REV?", revision);
        m_familyCode = codes[0];
        m_modelCode = codes[1];
        m_variantCode = codes[2];
        m_buildNumber = codes[3];
        return true;
    }
    const auto buildNumber = Identification::BuildNumberFromText(build);
    if (!buildNumber)
        return RefuseIdentityReply("BUILD?", build);
    m_buildNumber = *buildNumber;
    Identification::SCodes codes;
    if (!Identification::ClassifyInstrumentModel(texts[1].reply, codes))
        return false;
    m_familyCode = codes.familyCode;
    m_modelCode = codes.modelCode;
    m_variantCode = codes.variantCode;
    return true;
}

bool CInstrBase::RefuseIdentityReply(const char* query, const std::string& reply)
{
    TAMRIX_LOG(ccComm, 1, "Identification refused: unreadable reply to %s: \"%s\"\n", query, reply.c_str());
    m_identityRefused = true;
    return false;
}

bool CInstrBase::VerifyBuild()
{
    // Only the first character of "B%d" is compared, so any reply starting with "B" passes.
    const std::string expected = FormatText("B%d", m_buildNumber.load());
    for (int i = 0; i < 6; ++i)
    {
        std::string reply = Query("build?\r\n");
        if (!reply.empty() && reply[0] == expected[0])
            return true;
    }
    return false;
}

void CInstrBase::GoLocal()
{
    Command("\nLOCAL\n", false);
}

bool CInstrBase::IsInstrumentType(int type) const
{
    return type == 1;
}

int CInstrBase::GetFamilyCode() const
{
    return m_familyCode;
}

int CInstrBase::GetModelCode() const
{
    return m_modelCode;
}

int CInstrBase::GetVariantCode() const
{
    return m_variantCode;
}

std::string CInstrBase::GetRevision() const
{
    std::lock_guard lock(m_identLock);
    return m_revision;
}

void CInstrBase::SetIdentityText(std::string& field, std::string value)
{
    std::lock_guard lock(m_identLock);
    field = std::move(value);
}

std::string CInstrBase::CachedIdentity(std::string& field, const char* query)
{
    {
        std::lock_guard lock(m_identLock);
        if (!field.empty())
            return field;
    }
    // The lock is not held across the query: the reply may take the whole time-out.
    std::string reply = Query(query);
    SetIdentityText(field, reply);
    return reply;
}

void CInstrBase::ClearIdentityTexts()
{
    std::lock_guard lock(m_identLock);
    m_serialNumber.clear();
    m_firmwareVersion.clear();
    m_message.clear();
    m_model.clear();
    m_build.clear();
    m_calibrationDate.clear();
}

std::string CInstrBase::GetSerialNumber()
{
    return CachedIdentity(m_serialNumber, "SN?");
}

std::string CInstrBase::GetModel()
{
    return CachedIdentity(m_model, "MODEL?");
}

std::string CInstrBase::GetFirmwareVersion()
{
    return CachedIdentity(m_firmwareVersion, "VER?");
}

std::string CInstrBase::GetBuild()
{
    return CachedIdentity(m_build, "BUILD?");
}

std::string CInstrBase::GetCalibrationDate()
{
    return CachedIdentity(m_calibrationDate, "CALDATE?");
}

std::string CInstrBase::GetMessage()
{
    return CachedIdentity(m_message, "MESSAGE?\n");
}

bool CInstrBase::SetMessage(const std::string& text)
{
    bool sent = Command("MESS " + text + "\n");
    SetIdentityText(m_message, text);
    return sent;
}

bool CInstrBase::SetBrightness(int brightness)
{
    return Command(FormatText("BRIGHT %d\r", brightness));
}

int CInstrBase::GetBrightness()
{
    return PortDescriptor::ToInt(Query("BRIGHT?"));
}

std::string CInstrBase::QueryErrorStrings()
{
    return Query("ERRSTR?");
}

std::string CInstrBase::GetErrorText(int number) const
{
    return CErrorTable::GetErrorText(number);
}

bool CInstrBase::SupportsRemoteSet() const
{
    return m_supportsRemoteSet;
}

bool CInstrBase::GetRemoteSet()
{
    if (!m_supportsRemoteSet)
        return false;
    return PortDescriptor::ToInt(Query("REMSET?")) != 0;
}

bool CInstrBase::SetRemoteSet(bool on)
{
    if (!m_supportsRemoteSet)
        return false;
    return Command(FormatText("REMSET %d\n", on ? 1 : 0));
}

// ---------------------------------------------------------------------------------------------------
// Factory memory access

bool CInstrBase::ReadMemoryBlock(int address, int count, int area, std::vector<uint8_t>& data)
{
    data.clear();
    if (count < 0)
        return false;
    for (int offset = 0; offset < count; offset += MemoryChunkBytes)
    {
        const int chunk = std::min(MemoryChunkBytes, count - offset);
        std::string reply = Query(FormatText("!!READ %d, %d, %d\r", address + offset, chunk, area));
        std::vector<uint8_t> bytes;
        if (!ParseHexBytes(reply, bytes) || static_cast<int>(bytes.size()) != chunk)
        {
            TAMRIX_LOG(ccComm, 1, "Memory read of %d bytes at %d failed\n", chunk, address + offset);
            data.clear();
            return false;
        }
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    return true;
}

bool CInstrBase::WriteMemoryBlock(int address, const std::vector<uint8_t>& data, int area)
{
    for (size_t i = 0; i < data.size(); ++i)
    {
        const std::string command =
            FormatText("!!WRITE %d, %d, %d\r", address + static_cast<int>(i), data[i], area);
        bool sent = false;
        for (int attempt = 0; attempt < kByteWriteTries && !sent; ++attempt)
            sent = Command(command, false);
        if (!sent)
            return false;
        std::string reply = Query("err?");
        if (reply != "0")
        {
            AddErrorsFromReply(reply, 0);
            return false;
        }
    }
    return true;
}

bool CInstrBase::ReadMemoryU32(int address, int area, uint32_t& value, bool swapBytes)
{
    std::vector<uint8_t> bytes;
    if (!ReadMemoryBlock(address, 4, area, bytes))
        return false;
    value = static_cast<uint32_t>(AssembleValue(bytes, swapBytes));
    return true;
}

bool CInstrBase::ReadMemoryFloat(int address, int area, float& value, bool swapBytes)
{
    uint32_t bits = 0;
    if (!ReadMemoryU32(address, area, bits, swapBytes))
        return false;
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

bool CInstrBase::ReadMemoryU16(int address, int area, uint16_t& value, bool swapBytes)
{
    std::vector<uint8_t> bytes;
    if (!ReadMemoryBlock(address, 2, area, bytes))
        return false;
    value = static_cast<uint16_t>(AssembleValue(bytes, swapBytes));
    return true;
}

bool CInstrBase::ReadMemoryU8(int address, int area, uint8_t& value)
{
    std::vector<uint8_t> bytes;
    if (!ReadMemoryBlock(address, 1, area, bytes))
        return false;
    value = bytes[0];
    return true;
}

bool CInstrBase::WriteMemoryU32(int address, int area, uint32_t value, bool swapBytes)
{
    return WriteMemoryBlock(address, SplitValue(value, 4, swapBytes), area);
}

bool CInstrBase::WriteMemoryFloat(int address, int area, float value, bool swapBytes)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return WriteMemoryU32(address, area, bits, swapBytes);
}

bool CInstrBase::WriteMemoryU16(int address, int area, uint16_t value, bool swapBytes)
{
    return WriteMemoryBlock(address, SplitValue(value, 2, swapBytes), area);
}

bool CInstrBase::WriteMemoryU8(int address, int area, uint8_t value)
{
    return WriteMemoryBlock(address, {value}, area);
}
