#pragma once

#include "instrument/session/RequestStrand.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <memory>
#include <type_traits>
#include <utility>

class CInstrBase;

// A panel's instrument as the window reaches it: the instrument, shared by every request that is under
// way so none of them outlives it, and the strand its requests run on. The window never talks to the
// instrument on its own thread: it calls, and the result comes back later.
struct SInstrumentLink
{
    std::shared_ptr<CInstrBase> instrument;
    std::shared_ptr<CRequestStrand> strand;

    explicit operator bool() const { return instrument && strand; }
    CInstrBase* get() const { return instrument.get(); }

    // Runs work on the instrument's strand, after the requests posted before it, and hands its result
    // to done as a queued call on receiver's thread; done is never called when receiver is gone by then.
    template <typename Work, typename Done>
    void Call(QObject* receiver, Work work, Done done) const;
};

template <typename Work, typename Done>
void SInstrumentLink::Call(QObject* receiver, Work work, Done done) const
{
    using Result = std::invoke_result_t<Work&>;
    auto promise = std::make_shared<QPromise<Result>>();
    // A child of the receiver: it goes with the receiver, and with it the call of done.
    auto* watcher = new QFutureWatcher<Result>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, receiver,
                     [watcher, done = std::move(done)]() mutable
                     {
                         watcher->deleteLater();
                         if constexpr (std::is_void_v<Result>)
                         {
                             if (!watcher->isCanceled())
                                 done();
                         }
                         else if (watcher->future().resultCount() > 0)
                         {
                             done(watcher->result());
                         }
                     });
    watcher->setFuture(promise->future());
    promise->start();
    strand->Post(
        [promise, work = std::move(work), keep = instrument]() mutable
        {
            if constexpr (std::is_void_v<Result>)
                work();
            else
                promise->addResult(work());
            promise->finish();
        });
}
