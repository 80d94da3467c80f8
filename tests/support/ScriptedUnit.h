#pragma once

#include "support/LineResponder.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A small scripted instrument on a pseudo-terminal or a loopback connection, for replies the simulator
// does not give (malformed, late, none at all). Lines are split at ";"; the answers of one line's
// queries go back joined by "," and ended by CR LF. "ERR?" empties the error queue ("0" when empty);
// an unknown query queues error 123 and answers nothing. Every received line is kept for assertions.
class ScriptedUnit
{
public:
    using Override = std::function<bool(const std::string& line, std::string& reply)>;

    ScriptedUnit();
    ~ScriptedUnit();

    // Serial: registers a fresh COM number for the pty and returns "COM:<n>:<baud>".
    std::string SerialDescriptor(int baud);
    int PortNumber() const { return m_portNumber; }
    // Network: listens on loopback; the responder starts once the program has connected.
    std::string NetworkDescriptor();
    // Starts answering on the pty (serial) right away.
    void StartSerial();
    // Accepts the program's connection and starts answering on it.
    bool AcceptNetwork(int timeoutMs);

    // Answers by query header (upper case, e.g. "SN?"); a missing entry is an unknown command.
    void SetAnswer(const std::string& query, const std::string& answer);
    void RemoveAnswer(const std::string& query);
    void PushError(int number);
    // Silent unless the line runs at this baud rate (0: any); a pty only.
    void RequireBaud(int baud) { m_requiredBaud = baud; }
    // Sees every whole line first; returning true sends reply (possibly empty) instead of the script.
    void SetOverride(Override handler);

    std::vector<std::string> Lines() const;
    size_t Count(const std::string& line) const;
    // Waits until count lines equal to line have arrived; false at the deadline.
    bool WaitForLine(const std::string& line, size_t count, std::chrono::milliseconds timeout) const;

    PtyPair& Pty() { return m_pty; }
    // Stops answering and closes the pty master: the program's side hangs up, as when a USB adapter
    // is pulled.
    void Unplug();

    // The identity of a well-behaved unit of the maker's own.
    void ScriptIdentity(const std::string& idn, const std::string& revision, const std::string& model,
                        const std::string& build, const std::string& version);

private:
    std::string Answer(const std::string& line);
    std::string AnswerPart(const std::string& part, bool& answered);

    PtyPair m_pty;
    LoopbackServer m_server;
    int m_portNumber = 0;
    int m_requiredBaud = 0;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::map<std::string, std::string> m_answers;
    std::deque<int> m_errors;
    std::vector<std::string> m_lines;
    Override m_override;
    std::unique_ptr<LineResponder> m_responder;
};
