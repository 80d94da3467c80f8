// The identification parsers: revisions, build and version texts, model tables and field splitting.
#include "FuzzInput.h"
#include "instrument/session/Identification.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CFuzzInput input(data, size);
    const std::string_view text = input.Text();
    std::array<int, 4> codes{};
    const int fields = Identification::SplitRevision(text, codes);
    if (fields < -1 || fields > 4)
        __builtin_trap();
    (void)Identification::ParseWhole(text);
    (void)Identification::BuildNumberFromText(text);
    int major = 0;
    int minor = 0;
    (void)Identification::ParseVersion(text, major, minor);
    (void)Identification::ContainsMaker(text);
    (void)Identification::StartsWithMaker(text);
    (void)Identification::IsNoRevision(text);
    Identification::SCodes model;
    (void)Identification::ClassifyDetectionModel(text, model);
    (void)Identification::ClassifyInstrumentModel(text, model);
    for (std::string_view field : Identification::SplitFields(text))
        if (field.data() < text.data() || field.data() + field.size() > text.data() + text.size())
            __builtin_trap();
    return 0;
}
