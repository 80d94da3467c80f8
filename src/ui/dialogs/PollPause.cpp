#include "ui/dialogs/PollPause.h"

#include "instrument/session/InstrBase.h"

CPollPause::CPollPause(CInstrBase* session) : m_session(session)
{
    if (m_session && !m_session->IsPaused())
        m_paused = m_session->PauseBackgroundThread(true, TimeoutMs);
}

CPollPause::~CPollPause()
{
    if (m_paused)
        m_session->PauseBackgroundThread(false, TimeoutMs);
}
