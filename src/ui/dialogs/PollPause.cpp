#include "ui/dialogs/PollPause.h"

#include "instrument/session/InstrBase.h"

CPollPause::CPollPause(CInstrBase* session, SInstrumentLink link)
    : m_session(session), m_link(std::move(link))
{
    if (m_link)
        m_link.strand->Hold(TimeoutMs);
    if (m_session)
        m_session->HoldPause(TimeoutMs);
}

CPollPause::~CPollPause()
{
    if (m_session)
        m_session->ReleasePause();
    if (m_link)
        m_link.strand->Release();
}
