#include "SimCommandRegistry.h"

#include <algorithm>

void CSimCommandRegistry::Add(const std::string& header, Handler handler)
{
    m_handlers[header] = std::move(handler);
}

const CSimCommandRegistry::Handler* CSimCommandRegistry::Find(const std::string& header) const
{
    const auto found = m_handlers.find(header);
    return found == m_handlers.end() ? nullptr : &found->second;
}

void CSimCommandRegistry::AddTicker(Ticker ticker)
{
    m_tickers.push_back(std::move(ticker));
}

void CSimCommandRegistry::Advance(CSimUnit& unit, double dtSeconds) const
{
    double remaining = dtSeconds;
    while (remaining > 1e-9)
    {
        const double step = std::min(remaining, kMaxStep);
        for (const Ticker& ticker : m_tickers)
            ticker(unit, step);
        unit.AddTime(step);
        remaining -= step;
    }
}
