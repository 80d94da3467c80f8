#pragma once

#include <mutex>
#include <string>
#include <vector>

// Collects what the channel classes log while a setter runs: their range checks say there why a value
// was refused before anything was sent. Switches the general category on up to level 3 and takes the
// diagnostic sink over for its lifetime; destruction gives standard error back the sink.
class CSetterLog
{
public:
    CSetterLog();
    ~CSetterLog();
    CSetterLog(const CSetterLog&) = delete;
    CSetterLog& operator=(const CSetterLog&) = delete;

    std::vector<std::string> Lines();

private:
    std::mutex m_lock;
    std::vector<std::string> m_lines;
};
