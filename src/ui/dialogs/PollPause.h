#pragma once

#include "instrument/session/InstrBase.h"
#include "ui/widgets/ChannelAccess.h"
#include "ui/widgets/InstrumentLink.h"

#include <utility>

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

// Runs read(channel) on the channel's strand in one group with polling paused, as the dialogs have
// always read, and hands what it read to done on receiver's thread (never once receiver is gone);
// false when the channel or its link is gone.
template <class Unit, class Read, class Done>
bool ReadPaused(const SChannelAccess<Unit>& access, QObject* receiver, Read read, Done done)
{
    Unit* unit = access.Direct();
    const SInstrumentLink& link = access.Link();
    if (!unit || !link)
        return false;
    link.Call(
        receiver,
        [unit, session = access.Session(), read = std::move(read)]
        {
            session->HoldPause(CPollPause::TimeoutMs);
            auto result = read(*unit);
            session->ReleasePause();
            return result;
        },
        std::move(done));
    return true;
}
