#include "instrument/session/PollFailureRun.h"

#include "diag/DiagSink.h"

#include <cerrno>
#include <utility>

CPollFailureRun::CPollFailureRun(std::string message) : m_message(std::move(message)) {}

CPollFailureRun::~CPollFailureRun()
{
    Ended();
}

void CPollFailureRun::Ended()
{
    const int count = m_count.exchange(0);
    if (count == 0)
        return;
    // The program's name first, as its other messages on the terminal carry it.
    CDiagSink::Write(std::string(program_invocation_short_name) + ": " + m_message + " (" +
                     std::to_string(count) + (count == 1 ? " poll cycle)\n" : " poll cycles in a row)\n"));
}
