#include "instrument/session/KeptValue.h"

#include "comm/LinkSilence.h"

float CKeptValue::Get(const std::function<float()>& read)
{
    m_wanted.store(true, std::memory_order_relaxed);
    if (!IsFresh())
        Read(read);
    return m_value.load(std::memory_order_relaxed);
}

void CKeptValue::Refresh(const std::function<float()>& read)
{
    if (m_wanted.load(std::memory_order_relaxed) && !IsFresh())
        Read(read);
}

bool CKeptValue::IsFresh() const
{
    const int64_t at = m_readAtMs.load();
    return at != 0 && CLinkSilence::NowMs() - at < KeptMs;
}

void CKeptValue::Forget()
{
    ++m_generation;
    m_readAtMs.store(0);
}

void CKeptValue::Read(const std::function<float()>& read)
{
    const uint64_t generation = m_generation.load();
    const float value = read();
    m_value.store(value, std::memory_order_relaxed);
    // A value that could not be read is asked for again next time, and so is one that a write forgot
    // while this read was on its way.
    const bool kept = value != NoValue && m_generation.load() == generation;
    m_readAtMs.store(kept ? CLinkSilence::NowMs() : 0);
}
