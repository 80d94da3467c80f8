#pragma once

#include "ui/widgets/InstrumentLink.h"

class CInstrBase;

// Holds a pause of an instrument's polling for a group of dialog reads or writes and gives it back on
// every way out, whether the pause took effect in time or not; holds nest (a settings sheet and its
// pages), and polling resumes with the last one.
class CPollPause
{
public:
    static constexpr int TimeoutMs = 25000;

    // The link keeps the instrument while the pause lasts, and holds its strand: the panel's own
    // requests wait until the dialog's reads or writes are done, so the two never cross on the port.
    CPollPause(CInstrBase* session, SInstrumentLink link);
    ~CPollPause();
    CPollPause(const CPollPause&) = delete;
    CPollPause& operator=(const CPollPause&) = delete;

private:
    CInstrBase* m_session;
    SInstrumentLink m_link;
};
