#include "Bridge.h"

#include "CliStopSignals.h"

#include <thread>

CBridge::CBridge(SBridgeOptions options) : m_options(std::move(options)) {}

CBridge::~CBridge()
{
    for (auto& link : m_links)
        link->Stop();
}

void CBridge::Run(CCliStopSignals& stop)
{
    for (const std::string& descriptor : m_options.instruments)
    {
        m_links.push_back(std::make_unique<CInstrumentLink>(descriptor, m_options, m_watcher));
        m_links.back()->Start();
    }
    while (!stop.WaitUntil(std::chrono::steady_clock::now() + std::chrono::hours(1)))
    {
    }
    // Each goodbye may wait a while for the broker's acknowledgement: they wait side by side, so that
    // the end takes as long as the slowest, not the sum.
    std::vector<std::thread> stopping;
    for (auto& link : m_links)
        stopping.emplace_back([&link] { link->Stop(); });
    for (std::thread& thread : stopping)
        thread.join();
}
