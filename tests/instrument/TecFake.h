#pragma once

#include "support/LineResponder.h"
#include "support/PtyPair.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A scripted TEC on a pseudo-terminal: answers the queries of each ";"-joined line from a table
// (keys without the leading ":" and "TEC:", upper case: "CHAN?", "R? 2", "LIM:THI?"), joins the
// answers with "," and records every line it received. A query missing from the table gets no
// answer, as an instrument that refuses it. "ERR?" answers "0" unless set otherwise.
class TecFake
{
public:
    TecFake();
    ~TecFake();

    const std::string& Path() const { return m_pty.SlavePath(); }
    void Set(const std::string& key, const std::string& answer);
    std::vector<std::string> Lines() const;
    size_t CountLines(const std::string& line) const;
    void ClearLines();

private:
    std::string Answer(const std::string& line);

    mutable std::mutex m_lock;
    std::map<std::string, std::string> m_answers;
    std::vector<std::string> m_lines;
    PtyPair m_pty;
    std::unique_ptr<LineResponder> m_responder;
};
