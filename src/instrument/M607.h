#pragma once

#include "instrument/MultiLaser.h"
#include "instrument/MultiTec.h"

#include <cstdint>
#include <string>

// The M607: two laser channels and two TEC channels on one connection and one session. Both sides are
// discovered at connect and polled in one cycle (TEC channels in the first hook, lasers in the second).
// Calls on the object itself that both sides answer are ambiguous; callers go through CLaser or CTEC.
class CM607 : public CMultiLaser, public CMultiTec
{
public:
    static constexpr int ChannelSlotsPerSide = 2;

    CM607();
    ~CM607() override;

    bool IsInstrumentType(int type) const override;
    // Each channel sends its own prefix; the unit as a whole sends none.
    std::string GetCommandPrefix() const override;
    bool PollHook1(uint64_t pollFlags) override;
    bool PollHook2(uint64_t pollFlags) override;
    bool PollHook3(uint64_t pollFlags) override;
    void ProcessPending() override;
    int GetErrorCount() const override;
    CErrorMsg GetError(int index, bool remove) override;
    void ClearErrors() override;
    void ClearUserFlag() override;
    bool Identify(bool force) override;
    bool Connect(const std::string& descriptor) override;
    void Disconnect() override;

protected:
    // After discovery: what the model sets on the channels found.
    virtual void PrepareChannels();
};
