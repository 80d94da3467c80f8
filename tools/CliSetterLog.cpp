#include "CliSetterLog.h"

#include "diag/DiagSink.h"
#include "diag/EventLog.h"

CCliSetterLog::CCliSetterLog()
{
    CEventLog::Instance().SetCategory(ccGeneral, 3, 1);
    CDiagSink::SetSink(
        [this](const std::string& line)
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_lines.push_back(line);
        });
}

CCliSetterLog::~CCliSetterLog()
{
    CDiagSink::ResetSink();
}

std::vector<std::string> CCliSetterLog::Lines()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}
