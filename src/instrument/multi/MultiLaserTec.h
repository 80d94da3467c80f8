#pragma once

#include "instrument/multi/MultiLaser.h"
#include "instrument/multi/MultiTec.h"

#include <cstdint>
#include <string>

// A unit with laser channels and TEC channels on one connection and one session. Both sides are polled
// in one cycle (TEC channels first in each hook), and the session parts (pending hand-overs, error
// lists, user flag, connect) run over the channels of both sides: the laser channels' errors come first.
// Calls on the object itself that both sides answer are ambiguous; callers go through CLaser or CTEC.
class CMultiLaserTec : public CMultiLaser, public CMultiTec
{
public:
    // Adds the channel slots of each side, in channel order.
    CMultiLaserTec(int laserSlots, int tecSlots);
    // Both sides' channels go before their bases' destructors run: the poll thread must be gone first.
    ~CMultiLaserTec() override;

    // Each model names its own type.
    bool IsInstrumentType(int type) const override = 0;
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
    // Opens the shared connection, identifies, discovers both sides' channels, prepares them, then
    // empties the error queue into the error list.
    bool Connect(const std::string& descriptor) override;
    void Disconnect() override;

protected:
    // After discovery: what the model sets on the channels found. Nothing by default.
    virtual void PrepareChannels();
};
