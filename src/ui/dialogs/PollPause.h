#pragma once

class CInstrBase;

// Pauses an instrument's polling for a group of dialog reads or writes unless it is paused already (a
// settings sheet pauses once for all its pages), and resumes it on every way out.
class CPollPause
{
public:
    static constexpr int TimeoutMs = 25000;

    explicit CPollPause(CInstrBase* session);
    ~CPollPause();
    CPollPause(const CPollPause&) = delete;
    CPollPause& operator=(const CPollPause&) = delete;

private:
    CInstrBase* m_session;
    bool m_paused = false;
};
