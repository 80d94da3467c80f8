#include "instrument/control/SetterLog.h"

#include "diag/DiagSink.h"
#include "diag/EventLog.h"

CSetterLog::CSetterLog()
{
    CEventLog::Instance().SetCategory(ccGeneral, 3, 1);
    CDiagSink::SetSink(
        [this](const std::string& line)
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_lines.push_back(line);
        });
}

CSetterLog::~CSetterLog()
{
    CDiagSink::ResetSink();
}

std::vector<std::string> CSetterLog::Lines()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}
