// The simulator's command parser: any line to any model's engine, compound parts, headers, numbers
// and value-bag commands included.
#include "FuzzInput.h"
#include "SimEngine.h"
#include "SimModelTable.h"

#include <memory>
#include <vector>

namespace
{
// One engine per model, kept across inputs as a running unit keeps its state between commands.
std::vector<std::unique_ptr<CSimEngine>>& Engines()
{
    static std::vector<std::unique_ptr<CSimEngine>> engines = []
    {
        std::vector<std::unique_ptr<CSimEngine>> made;
        for (const char* name : {"K760", "D310", "M609", "X510", "LPS-4", "D560"})
            if (const SSimModel* model = CSimModelTable::Find(name))
            {
                made.push_back(std::make_unique<CSimEngine>(*model));
                // Simulated time moves only when told: the same input gives the same run.
                made.back()->SetManualTime(true);
            }
        return made;
    }();
    return engines;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CFuzzInput input(data, size);
    auto& engines = Engines();
    if (engines.empty())
        return 0;
    CSimEngine& engine = *engines[input.Selector() % engines.size()];
    for (const std::string& line : input.Pieces())
        (void)engine.ProcessLine(line);
    return 0;
}
