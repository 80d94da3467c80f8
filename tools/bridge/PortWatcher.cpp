#include "PortWatcher.h"

CPortWatcher::CPortWatcher(bool hotPlugMonitor)
{
    if (!hotPlugMonitor)
        return;
    m_monitor = std::make_unique<CDeviceMonitor>([this](const std::string&, EDeviceChange) { Notice(); });
    if (!m_monitor->Start())
        m_monitor.reset();
}

CPortWatcher::~CPortWatcher()
{
    if (m_monitor)
        m_monitor->Stop();
}

uint64_t CPortWatcher::WaitForChange(uint64_t seen, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, timeout, [&] { return m_generation != seen; });
    return m_generation;
}

void CPortWatcher::Wake()
{
    Notice();
}

void CPortWatcher::Notice()
{
    {
        std::lock_guard guard(m_lock);
        ++m_generation;
    }
    m_changed.notify_all();
}

bool CPortWatcher::Claim(int portNumber)
{
    std::lock_guard guard(m_lock);
    return m_claimed.insert(portNumber).second;
}

void CPortWatcher::Release(int portNumber)
{
    std::lock_guard guard(m_lock);
    m_claimed.erase(portNumber);
}
