#include "comm/LinkSilence.h"

#include <algorithm>
#include <chrono>

int64_t CLinkSilence::NowMs()
{
    using namespace std::chrono;
    // Never 0, which marks "answering".
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

void CLinkSilence::Unanswered(int64_t sentAtMs)
{
    int64_t expected = 0;
    // Only the first of a run counts: the silence began when that query went out.
    m_silentSince.compare_exchange_strong(expected, std::max<int64_t>(sentAtMs, 1));
}

void CLinkSilence::Answered()
{
    m_silentSince.store(0);
}

int64_t CLinkSilence::SilentForMs(int64_t nowMs) const
{
    const int64_t since = m_silentSince.load();
    return since == 0 ? 0 : std::max<int64_t>(nowMs - since, 1);
}
