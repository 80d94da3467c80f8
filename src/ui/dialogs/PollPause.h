#pragma once

class CInstrBase;

// Holds a pause of an instrument's polling for a group of dialog reads or writes and gives it back on
// every way out, whether the pause took effect in time or not; holds nest (a settings sheet and its
// pages), and polling resumes with the last one.
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
};
