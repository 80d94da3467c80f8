// The simulator's command parser: any bytes, as a transport receives them, to a fresh unit of a model
// the selector picks; line framing, compound parts, headers, numbers and value-bag commands included.
#include "FuzzInput.h"
#include "SimEngine.h"
#include "SimModelTable.h"
#include "SimSession.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static constexpr std::array<const char*, 6> kModels = {"K760", "D310", "M609", "X510", "LPS-4", "D560"};
    const CFuzzInput input(data, size);
    const SSimModel* model = CSimModelTable::Find(kModels[input.Selector() % kModels.size()]);
    if (model == nullptr)
        return 0;
    // A fresh unit per input, with simulated time that moves only when told: the same input gives the
    // same run.
    CSimEngine engine(*model);
    engine.SetManualTime(true);
    SSimSession session;
    (void)engine.Receive(session, input.Text());
    (void)engine.Receive(session, "\r\n");
    return 0;
}
