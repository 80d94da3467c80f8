#include "ui/dialogs/PollPause.h"

#include "instrument/session/InstrBase.h"

CPollPause::CPollPause(CInstrBase* session) : m_session(session)
{
    if (m_session)
        m_session->HoldPause(TimeoutMs);
}

CPollPause::~CPollPause()
{
    if (m_session)
        m_session->ReleasePause();
}
