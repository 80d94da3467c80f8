#include "instrument/session/RequestStrand.h"

#include "diag/EventLog.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <thread>

namespace
{
// The strands that have a thread draining their queue, for the bounded wait at the end.
struct SBusyCount
{
    std::mutex lock;
    std::condition_variable changed;
    int count = 0;
};

// Never destroyed: a detached drain thread may still count itself out after main() has returned.
SBusyCount& BusyCount()
{
    static auto* busy = new SBusyCount;
    return *busy;
}

void ChangeBusy(int delta)
{
    SBusyCount& busy = BusyCount();
    std::lock_guard lock(busy.lock);
    busy.count += delta;
    busy.changed.notify_all();
}
} // namespace

std::shared_ptr<CRequestStrand> CRequestStrand::Create()
{
    return std::shared_ptr<CRequestStrand>(new CRequestStrand);
}

CRequestStrand::~CRequestStrand() = default;

void CRequestStrand::Post(Job job)
{
    {
        std::lock_guard lock(m_lock);
        m_jobs.push_back(std::move(job));
        ++m_backlog;
        if (m_running)
            return;
        m_running = true;
    }
    ChangeBusy(+1);
    // The thread keeps the strand alive until the queue is empty.
    std::thread([self = shared_from_this()] { self->Drain(); }).detach();
}

void CRequestStrand::Drain()
{
    for (;;)
    {
        Job job;
        {
            std::lock_guard lock(m_lock);
            if (m_jobs.empty())
            {
                m_running = false;
                break;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        try
        {
            job();
        }
        catch (const std::exception& e)
        {
            TAMRIX_LOG(ccComm, 1, "A request to the instrument ended by an exception: %s\n", e.what());
        }
        catch (...)
        {
            TAMRIX_LOG(ccComm, 1, "A request to the instrument ended by an exception\n");
        }
        // What the request held (the instrument among it) goes here, on this thread.
        job = nullptr;
        std::lock_guard lock(m_lock);
        if (--m_backlog == 0)
            m_idle.notify_all();
    }
    ChangeBusy(-1);
}

bool CRequestStrand::Hold(int timeoutMs)
{
    {
        std::unique_lock lock(m_lock);
        if (m_holds++ > 0)
            return true;
        m_holdReached = false;
    }
    Post(
        [this]
        {
            std::unique_lock lock(m_lock);
            m_holdReached = true;
            m_holdChanged.notify_all();
            // Bounded waits, so a wake-up that was missed costs a second at most.
            while (m_holds > 0)
                m_holdChanged.wait_for(lock, std::chrono::seconds(1));
            m_holdReached = false;
        });
    std::unique_lock lock(m_lock);
    return m_holdChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return m_holdReached; });
}

void CRequestStrand::Release()
{
    std::lock_guard lock(m_lock);
    if (m_holds > 0 && --m_holds == 0)
        m_holdChanged.notify_all();
}

int CRequestStrand::Backlog() const
{
    std::lock_guard lock(m_lock);
    return m_backlog;
}

bool CRequestStrand::WaitIdle(int timeoutMs) const
{
    std::unique_lock lock(m_lock);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_backlog == 0; });
}

bool CRequestStrand::WaitForAll(int timeoutMs)
{
    SBusyCount& busy = BusyCount();
    std::unique_lock lock(busy.lock);
    return busy.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&busy] { return busy.count == 0; });
}

int CRequestStrand::Busy()
{
    SBusyCount& busy = BusyCount();
    std::lock_guard lock(busy.lock);
    return busy.count;
}
