#pragma once

#include "comm/Serial.h"
#include "instrument/session/CommandOutcome.h"
#include "instrument/session/ErrorList.h"
#include "instrument/session/ErrorMsg.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class CValuesBag;

// The session with one instrument and the virtual base of every instrument class: sends commands and
// queries, checks the instrument's error queue, collects its errors, and runs one background thread
// that polls readings and carries out commands handed over by the user-interface thread.
//
// While the background thread polls, only it talks to the port; Query and Command from any other
// thread go through the hand-over slots and wait for the thread to carry them out.
class CInstrBase
{
public:
    static constexpr int DefaultTimeoutMs = 2000;
    static constexpr int DisconnectStopTimeoutMs = 25000;
    static constexpr int QueryAttempts = 4;
    static constexpr int RetryPauseMs = 250;
    // A poll cycle starts at most once per period [ms]. The floor keeps a loop whose hooks do no I/O
    // from spinning; the default gives a display and a log all they need (ten readings a second)
    // without keeping a fast link busy with readings nobody looks at.
    static constexpr int MinPollPeriodMs = 10;
    static constexpr int DefaultPollPeriodMs = 100;

    CInstrBase();
    // Owners call Disconnect first; the destructor only makes sure the background thread has ended.
    virtual ~CInstrBase();
    CInstrBase(const CInstrBase&) = delete;
    CInstrBase& operator=(const CInstrBase&) = delete;

    virtual bool HasLaserChannel() const;
    virtual bool HasTECChannel() const;

    // The error list.
    virtual int GetErrorCount() const;
    virtual std::string QueryErrorCodes();
    virtual CErrorMsg GetError(int index, bool remove);
    virtual void ClearErrors();
    virtual bool Reserved7();
    virtual bool Reserved8();

    // Digits after the first "." up to the first non-digit; 0 without a ".".
    virtual void CountDecimals(std::string_view text, int& count) const;

    virtual void BackgroundThreadLoop();
    virtual void ProcessPending();
    // The channel-select command put in front of every command while usePrefix is above 0.
    virtual std::string GetCommandPrefix() const;
    virtual bool PollHook1(uint64_t pollFlags);
    virtual bool PollHook2(uint64_t pollFlags);
    virtual bool PollHook3(uint64_t pollFlags);

    virtual void AddErrorsFromReply(std::string_view reply, size_t start);
    // "\n" + command (+ "ERR?") + "\n", up to 4 attempts; value is the reply's first ","-field.
    virtual bool QueryChecked(std::string_view command, bool checkErrors, std::string& value);
    // Several queries, one by one or joined on one line; values receive one field per command.
    virtual bool QueryList(const std::vector<std::string>& commands, std::vector<std::string>& values,
                           bool oneByOne, bool checkErrors);
    // Purge, send, read one line (time-out < 0: default). Empty when the port is closed.
    virtual std::string QueryDirect(std::string_view command, int timeoutMs = -1);
    // Sends the command followed by "\nerr?\n"; true when the instrument answers "0". The outcome, told
    // apart further, is the calling thread's LastCommandOutcome.
    virtual bool CommandChecked(std::string_view command, bool reportErrors);
    // The outcome of the last checked command the calling thread sent through any session (directly or
    // handed over to a poll thread); None after ResetLastCommandOutcome until one is sent.
    static ECommandOutcome LastCommandOutcome();
    static void ResetLastCommandOutcome();
    // Prefix + command (+ "\n" unless it ends in "\n" or "\r"), written under the port lock.
    virtual bool CommandRaw(std::string_view command);

    // Factory memory access ("!!READ %d, %d, %d\r" / "!!WRITE %d, %d, %d\r": address, count or byte,
    // area). Multi-byte values are least significant byte first in memory; swapBytes reads or writes
    // them most significant byte first instead.
    virtual bool ReadMemoryU32(int address, int area, uint32_t& value, bool swapBytes);
    virtual bool ReadMemoryFloat(int address, int area, float& value, bool swapBytes);
    virtual bool ReadMemoryU16(int address, int area, uint16_t& value, bool swapBytes);
    virtual bool ReadMemoryU8(int address, int area, uint8_t& value);
    // Reads count bytes in chunks of at most MemoryChunkBytes; false unless every byte arrived.
    virtual bool ReadMemoryBlock(int address, int count, int area, std::vector<uint8_t>& data);
    virtual bool WriteMemoryU32(int address, int area, uint32_t value, bool swapBytes);
    virtual bool WriteMemoryFloat(int address, int area, float value, bool swapBytes);
    virtual bool WriteMemoryU16(int address, int area, uint16_t value, bool swapBytes);
    virtual bool WriteMemoryU8(int address, int area, uint8_t value);
    // One write per byte, each sent up to 3 times; then the instrument's error check must pass.
    virtual bool WriteMemoryBlock(int address, const std::vector<uint8_t>& data, int area);
    static constexpr int MemoryChunkBytes = 32;

    virtual bool IsInstrumentType(int type) const;
    virtual int GetFamilyCode() const;
    virtual int GetModelCode() const;
    virtual int GetVariantCode() const;
    // A Query of "BUILD?\n" that returns a non-empty reply.
    virtual bool ProbeBuild();
    virtual bool GetUserFlag() const;
    virtual void ClearUserFlag();
    virtual void SetPollFlags(uint64_t flags);
    virtual uint64_t GetPollFlags() const;

    // "COM:%d:%d" with the two numbers, then Connect.
    virtual bool ConnectPort(int portNumber, int baud);
    // Opens the descriptor, probes, identifies; a serial descriptor with baud 0 falls back to 9600.
    virtual bool Connect(const std::string& descriptor);
    // Stops the background thread, sends "local\r\n", closes the port and forgets the identity.
    virtual void Disconnect();

    virtual void ResetThreadFlags();
    // Polls once per period (at least MinPollPeriodMs; a slow link makes the cycles longer still).
    // Requests from other threads are carried out as they come, between the cycles too.
    virtual bool StartBackgroundThread(int periodMs);
    int GetPollPeriodMs() const { return m_pollPeriodMs.load(); }
    // Any thread: a running loop takes the new period from its next wait on.
    void SetPollPeriodMs(int periodMs) { m_pollPeriodMs.store(std::max(MinPollPeriodMs, periodMs)); }
    virtual bool StopBackgroundThread(int timeoutMs);
    virtual bool PauseBackgroundThread(bool pause, int timeoutMs);
    // Counted pauses: polling stays paused while anyone holds one. HoldPause adds a hold and waits up to
    // timeoutMs for the pause to take effect (true when it did); the hold stays either way, and its
    // owner gives it back with ReleasePause exactly once. The last release resumes polling.
    bool HoldPause(int timeoutMs);
    void ReleasePause();
    int GetPauseHolds() const;
    virtual bool IsPaused() const;
    virtual bool IsPolling() const;
    virtual bool VerifyBuild();
    virtual bool IsPortOpen() const;

    // Routed through the background thread while it polls, else sent directly.
    virtual std::string Query(std::string_view command, int timeoutMs = -1);
    virtual bool CommandFormatV(const char* format, va_list args);
    bool CommandFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual bool Command(std::string_view command, bool checkErrors = true, int timeoutMs = -1);

    virtual bool Identify(bool force);
    virtual void GoLocal();

    // Identity texts: queried once when the cache is empty, then answered from the cache.
    virtual std::string GetSerialNumber();
    virtual std::string GetModel();
    virtual std::string GetFirmwareVersion();
    virtual std::string GetBuild();
    virtual std::string GetCalibrationDate();
    virtual std::string GetMessage();
    virtual bool SetMessage(const std::string& text);
    virtual bool SetBrightness(int brightness);
    virtual int GetBrightness();
    virtual std::string QueryErrorStrings();
    virtual std::string GetErrorText(int number) const;
    virtual bool SupportsRemoteSet() const;
    virtual bool GetRemoteSet();
    virtual bool SetRemoteSet(bool on);

    // Not slots of the session's table, but what families, panels and bags need.
    std::string GetRevision() const;
    int GetBuildNumber() const { return m_buildNumber.load(std::memory_order_relaxed); }
    uint64_t GetExtraPollFlags() const { return m_extraPollFlags.load(std::memory_order_relaxed); }
    void SetExtraPollFlags(uint64_t flags) { m_extraPollFlags.store(flags, std::memory_order_relaxed); }
    bool IsFirstCycleDone() const { return m_firstCycleDone.load(); }
    // Poll cycles the background thread has completed since it started (a cycle cut short by a stop
    // request does not count); a reader that remembers it sees whether a new cycle has ended.
    uint64_t GetCompletedCycles() const { return m_completedCycles.load(); }
    // Called on the poll thread after each completed cycle, so that a waiter need not look again and
    // again. Set it while the background thread is not running; it must be quick and never throw.
    void SetCycleListener(std::function<void()> listener) { m_cycleListener = std::move(listener); }
    bool IsIdentified() const { return m_identified.load(); }
    // The last connect failed because an identification reply could not be read (not because nothing
    // answered): the unit is there but its replies are corrupt.
    bool WasIdentityRefused() const { return m_identityRefused.load(); }
    bool GetSerialMismatch() const { return m_serialMismatch.load(); }
    void SetSerialMismatch(bool mismatch) { m_serialMismatch.store(mismatch); }
    int GetFailedPolls() const { return m_failedPolls.load(); }
    void SetFailedPolls(int count) { m_failedPolls.store(count); }
    // How long the unit has left queries unanswered, from the first of them; 0 while it answers.
    int64_t GetSilentForMs() const { return m_port->Silence().SilentForMs(); }
    // The most a polled reading may age on this link and still count as live.
    int64_t FreshnessCeilingMs() const;
    int GetActivity() const { return m_activity.load(); }
    int GetDefaultTimeout() const { return m_defaultTimeoutMs.load(); }
    void SetDefaultTimeout(int timeoutMs) { m_defaultTimeoutMs.store(timeoutMs); }
    int GetUsePrefix() const { return m_usePrefix.load(); }
    void SetUsePrefix(int usePrefix) { m_usePrefix.store(usePrefix); }
    bool IsStopRequested() const { return m_stopRequested.load(); }
    // The serial port number of the connection; 0 or less for a network connection or none.
    int GetPortNumber() const;
    CSerial& GetPort() const { return *m_port; }
    // Why the port of the last Connect did not open, or why its network connection did not come up.
    EOpenFailure GetLastOpenFailure() const { return m_port->GetLastOpenFailure(); }
    // Multi-channel instruments install a shared port or a redirector in place of the plain one.
    void SetPort(std::unique_ptr<CSerial> port);
    CValuesBag* GetValueBag() const { return m_valueBag.get(); }
    void SetValueBag(std::unique_ptr<CValuesBag> bag);

protected:
    // Waits up to timeoutMs for a stop request; true when a stop was requested. Used for the pauses
    // between retries so that a stop cuts them short.
    bool WaitForStop(int timeoutMs);
    // Wakes every waiter after a change of the thread-control flags or the hand-over slots.
    void NotifyStateChange();
    int EffectiveTimeout(int timeoutMs) const;
    bool OnBackgroundThread() const;
    void SetIdentityText(std::string& field, std::string value);
    std::string CachedIdentity(std::string& field, const char* query);
    void ClearIdentityTexts();
    // Logs an identification reply that is not in the form expected; answers false for Identify.
    bool RefuseIdentityReply(const char* query, const std::string& reply);
    // One poll query's outcome in failedPolls: an accepted reply clears the count, a failure adds one
    // (a query cut short by a stop request says nothing about the unit). Answers accepted.
    bool CountPollQuery(bool accepted);
    // The default time-out widened by the connection's round trip, for the identification queries.
    int IdentificationTimeout() const;
    // How long the line must stay silent before the identification takes it as quiet: a few byte
    // times on a serial line, a few tens of milliseconds plus the round trip on a network link.
    int QuietLineMs() const;
    // Up to QueryAttempts tries until the reply fits; empty when none did. readable turns false when
    // replies came but never in the expected form.
    std::string QueryIdentity(std::string_view query, bool (*fits)(std::string_view), bool& readable);

    CErrorList m_errors;
    std::unique_ptr<CValuesBag> m_valueBag;
    std::unique_ptr<CSerial> m_port;
    std::atomic<uint64_t> m_pollFlags{0};
    std::atomic<uint64_t> m_extraPollFlags{0};
    std::atomic<int> m_defaultTimeoutMs{DefaultTimeoutMs};
    std::atomic<int> m_pollPeriodMs{DefaultPollPeriodMs};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_threadRunning{false};
    std::atomic<bool> m_firstCycleDone{false};
    std::atomic<bool> m_userFlag{false};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_pauseRequested{false};
    int m_pauseHolds = 0; // under m_stateLock
    std::atomic<bool> m_serialMismatch{false};
    std::atomic<int> m_failedPolls{0};
    std::atomic<uint64_t> m_completedCycles{0};
    std::function<void()> m_cycleListener; // set before the poll thread starts
    std::atomic<int> m_activity{-1};       // 3 while the poll hooks run, -1 otherwise

    // Identity texts: written on connect or by a getter on any thread, read by the user interface.
    mutable std::mutex m_identLock;
    std::string m_serialNumber;
    std::string m_firmwareVersion;
    std::string m_model;
    std::string m_build;
    std::string m_calibrationDate;
    std::string m_message;
    std::string m_revision;

    std::atomic<int> m_familyCode{0};
    std::atomic<int> m_modelCode{0};
    std::atomic<int> m_variantCode{0};
    std::atomic<int> m_buildNumber{0};
    std::atomic<bool> m_identified{false};
    std::atomic<bool> m_identityRefused{false};
    std::atomic<bool> m_supportsRemoteSet{false};

    // The hand-over slots. Only the caller that filled a slot empties it, after collecting the outcome
    // or giving up, so an answer never reaches another caller; a ticket tells the background thread
    // whether the request it carried out is still the one in the slot.
    struct SPendingSlot
    {
        std::string text;
        uint64_t ticket = 0;
        bool taken = false;                              // the background thread is carrying it out
        bool done = false;                               // carried out; the outcome waits for its caller
        std::string reply;                               // a query's answer
        bool result = false;                             // a command's result
        ECommandOutcome outcome = ECommandOutcome::None; // a checked command's outcome
    };
    SPendingSlot m_pendingQuery;
    SPendingSlot m_pendingCommand;
    bool m_pendingCheckErrors = false;
    // What the last handed-over command returned; an empty command answers it.
    bool m_lastCommandResult = false;
    uint64_t m_nextTicket = 0;

    std::atomic<int> m_usePrefix{1};

    // Guards the hand-over slots; with m_stateChanged it carries every wait on the thread-control flags.
    mutable std::mutex m_stateLock;
    std::condition_variable m_stateChanged;

private:
    void ThreadMain();
    bool FinishPendingQuery();
    // The rest of a poll period: carries out requests from other threads as they come and returns at
    // its end, or at once for a stop or a pause.
    void WaitOutPeriod(std::chrono::steady_clock::time_point end);
    bool FinishPendingCommand();
    bool DrainAfterBadReply(bool timedOut);
    // The reply of a query with retries fitted its form, or did not (then it may be a late one).
    void NoteReplyForm(bool fitted);
    void DiscardLateReplies();
    // Whether the unit answers the text with a line: anything but bare line ends asks something.
    static bool ExpectsReply(std::string_view command);
    // "0" or "201,0": error numbers separated by ",".
    static bool IsErrorList(std::string_view text);
    bool ConnectOnce(const std::string& descriptor);

    std::thread m_thread;
    std::atomic<std::thread::id> m_threadId{};
    std::atomic<bool> m_threadAlive{false}; // set before the thread starts, cleared as it ends
};
