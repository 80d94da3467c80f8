#pragma once

#include "instrument/session/InstrBase.h"
#include "ui/dialogs/PollPause.h"
#include "ui/widgets/InstrumentLink.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// A settings page's writes, in their order, as one group on the instrument's strand with polling
// paused. The values are taken from the page's controls when the group is built, so the strand never
// touches a widget; what each step changes on the page (a value now taken as read) runs back on the
// window's thread, for the steps that went out before the first refusal.
template <class Unit>
class CWriteSequence
{
public:
    // Sends one step; the name of what the unit refused, or nothing when it took it.
    using Send = std::function<std::optional<QString>(Unit&)>;

    // A step with one value: refused under its name.
    void Add(const QString& name, std::function<bool(Unit&)> send, std::function<void()> sent = {})
    {
        AddStep([name, send = std::move(send)](Unit& unit) -> std::optional<QString>
                { return send(unit) ? std::nullopt : std::optional<QString>(name); },
                std::move(sent));
    }
    // A step that names its own refusal (a pair of limits whose order depends on the unit).
    void AddStep(Send send, std::function<void()> sent = {})
    {
        m_steps.push_back({std::move(send), std::move(sent)});
    }
    // A step whose refusal is not the page's to report: it shows in the instrument's error log.
    void AddUnchecked(std::function<void(Unit&)> send, std::function<void()> sent = {})
    {
        AddStep(
            [send = std::move(send)](Unit& unit) -> std::optional<QString>
            {
                send(unit);
                return std::nullopt;
            },
            std::move(sent));
    }
    bool IsEmpty() const { return m_steps.empty(); }

    // What the user is told when the unit refused a value of the group.
    static QString RefusalText(const QString& refused)
    {
        return QString("The instrument did not accept the %1. The settings after it were not written; check "
                       "the value and press OK again.")
            .arg(refused);
    }

    // Posts the group; done gets the refused value's name (empty when everything went out) on
    // receiver's thread, and never when receiver is gone.
    void Run(QObject* receiver, Unit* unit, CInstrBase* session, const SInstrumentLink& link,
             std::function<void(const QString& refused)> done) const
    {
        if (m_steps.empty())
        {
            // Nothing changed: no pause and no round trip, but the answer still comes later.
            QMetaObject::invokeMethod(
                receiver, [done = std::move(done)] { done({}); }, Qt::QueuedConnection);
            return;
        }
        std::vector<Send> sends;
        for (const SStep& step : m_steps)
            sends.push_back(step.send);
        link.Call(
            receiver,
            [unit, session, sends = std::move(sends)]
            {
                SOutcome outcome;
                session->HoldPause(CPollPause::TimeoutMs);
                for (; outcome.sent < sends.size(); ++outcome.sent)
                    if (const std::optional<QString> refused = sends[outcome.sent](*unit))
                    {
                        outcome.refused = *refused;
                        break;
                    }
                session->ReleasePause();
                return outcome;
            },
            [sents = Sents(), done = std::move(done)](const SOutcome& outcome)
            {
                for (size_t i = 0; i < outcome.sent; ++i)
                    if (sents[i])
                        sents[i]();
                done(outcome.refused);
            });
    }

private:
    struct SStep
    {
        Send send;
        std::function<void()> sent;
    };
    struct SOutcome
    {
        size_t sent = 0;
        QString refused;
    };

    std::vector<std::function<void()>> Sents() const
    {
        std::vector<std::function<void()>> sents;
        for (const SStep& step : m_steps)
            sents.push_back(step.sent);
        return sents;
    }

    std::vector<SStep> m_steps;
};
