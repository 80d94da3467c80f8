#pragma once

#include "ui/common/UiContext.h"
#include "ui/dialogs/PollPause.h"
#include "ui/dialogs/WriteSequence.h"
#include "ui/widgets/ChannelAccess.h"

#include <QWidget>
#include <functional>

class QLabel;

// One page of a settings sheet (or of a settings dialog of its own). The page reads its values on the
// instrument's strand, in one group with polling paused, and says "Reading..." with its controls
// disabled until they are in; OK writes what changed as one group. The sheet validates every page
// before any page writes, so a refusal on one page never leaves another page's values half written.
class CSettingsPage : public QWidget
{
    Q_OBJECT

public:
    static inline const QString ReadingText = "Reading...";
    static inline const QString WritingText = "Writing...";

    // The page watches whether the access still reaches its channel.
    template <class Unit>
    CSettingsPage(const SUiContext& context, const SChannelAccess<Unit>& access, QWidget* parent)
        : CSettingsPage(
              context, [channel = access.channel] { return channel && channel(); }, parent)
    {
    }

    // Starts reading the channel's values; false when the channel is gone.
    virtual bool Load() = 0;
    // Whether the values are in.
    bool IsLoaded() const { return m_loaded; }
    // OK's writes are under way: the page is disabled and says "Writing...".
    bool IsWriting() const { return m_writing; }
    // Checks every edit against its range; on a failure prompts, focuses the edit and returns false.
    virtual bool Validate() = 0;
    // Sends what the user changed, on the instrument's strand. Runs only after every page of the sheet
    // has validated; done(false) (after telling the user) when the unit refused a value, which keeps the
    // sheet open. done is not called when the page is gone by then.
    virtual void Write(std::function<void(bool written)> done) = 0;
    // Whether the page's channel still exists (the panel may have lost the instrument).
    bool IsChannelPresent() const { return m_channelPresent(); }
    // Where the page says "Reading..." or "Writing..." (below its controls unless a dialog that holds
    // the page places it beside its buttons).
    QLabel* BusyLabel() const { return m_readingLabel; }

signals:
    // The values are in the controls and the page may be changed and written.
    void loaded();
    // Reading or writing began (true) or ended (false).
    void busyChanged(bool busy);

protected:
    // The page's controls; disabled while the page reads or writes.
    QWidget* Form() const { return m_form; }

    // Reads with polling paused on the strand, then hands what was read to apply on the page's thread.
    template <class Unit, class Snapshot>
    bool ReadAll(const SChannelAccess<Unit>& access, Snapshot (*read)(Unit&),
                 std::function<void(const Snapshot&)> apply)
    {
        if (!ReadPaused(access, this, read,
                        [this, apply = std::move(apply)](const Snapshot& snapshot)
                        {
                            apply(snapshot);
                            m_loaded = true;
                            ShowBusy({});
                            emit loaded();
                        }))
            return false;
        m_loaded = false;
        ShowBusy(ReadingText);
        return true;
    }

    // Runs the page's writes; a refusal is told to the user before done(false).
    template <class Unit>
    void WriteAll(const SChannelAccess<Unit>& access, const CWriteSequence<Unit>& writes,
                  std::function<void(bool written)> done)
    {
        Unit* unit = access.Direct();
        const SInstrumentLink& link = access.Link();
        if (!unit || !link)
        {
            done(false);
            return;
        }
        ShowBusy(WritingText);
        writes.Run(this, unit, access.Session(), link,
                   [this, done = std::move(done)](const QString& refused)
                   {
                       ShowBusy({});
                       if (!refused.isEmpty())
                           Tell(CWriteSequence<Unit>::RefusalText(refused));
                       done(refused.isEmpty());
                   });
    }

    SUiContext m_context;

private:
    CSettingsPage(const SUiContext& context, std::function<bool()> channelPresent, QWidget* parent);

    // Disables the controls and says what the page waits for; an empty text ends the wait.
    void ShowBusy(const QString& doing);
    void Tell(const QString& text);

    std::function<bool()> m_channelPresent;
    QWidget* m_form = nullptr;
    QLabel* m_readingLabel = nullptr;
    bool m_loaded = false;
    bool m_writing = false;
};
