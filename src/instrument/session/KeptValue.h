#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

// A setting read from the unit on demand (a limit, a responsivity) and taken as the unit's own for a
// while, so that a range check costs no round trip. Once a check has asked for it, the poll keeps it fresh.
// Thread-safe: checks run on the instrument's strand, refreshes on its poll thread.
class CKeptValue
{
public:
    static constexpr int KeptMs = 5000;
    static constexpr float NoValue = -1e32f;

    // The kept value; read with `read` first when it is older than KeptMs or was forgotten.
    float Get(const std::function<float()>& read);
    // Reads it again when a check has asked for it and it is no longer fresh.
    void Refresh(const std::function<float()>& read);
    // The unit's value has changed (written, or its meaning changed): read it again next time.
    void Forget();

private:
    bool IsFresh() const;
    void Read(const std::function<float()>& read);

    std::atomic<float> m_value{NoValue};
    std::atomic<int64_t> m_readAtMs{0};
    std::atomic<bool> m_wanted{false};
    std::atomic<uint64_t> m_generation{0};
};
