#pragma once

#include "diag/EventLog.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Captures the process-wide diagnostic output while it lives, and lets one log category through up to
// a level (ccComm up to 2 by default: port open/close, failures, every command and reply).
//
//   CaptureSink trace;
//   ... exercise a port ...
//   EXPECT_TRUE(trace.Contains("Command: *IDN?"));
//
// Lines() gives each message as the log wrote it, without the "%9.3f: " time prefix and without the
// final CR LF, so inner line ends read "<CR>"/"<LF>" as in the log; text written to the sink directly
// keeps its own form. Destruction restores standard error and the category's default (status
// 0, level 0).
class CaptureSink
{
public:
    explicit CaptureSink(uint32_t category = ccComm, uint32_t level = 2);
    ~CaptureSink();
    CaptureSink(const CaptureSink&) = delete;
    CaptureSink& operator=(const CaptureSink&) = delete;

    std::vector<std::string> Lines() const;
    bool Contains(const std::string& message) const;
    // How many messages equal the text, or begin with it when prefix is set.
    size_t Count(const std::string& message, bool prefix = false) const;
    void Clear();

    // The message of one raw output line: time prefix and trailing CR/LF removed.
    static std::string MessageOf(const std::string& line);

private:
    uint32_t m_category;
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};
