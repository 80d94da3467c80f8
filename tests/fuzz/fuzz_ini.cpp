// The INI reader behind the settings store and the event-log settings: any text parses, and what it
// serialises parses again to the same document.
#include "FuzzInput.h"
#include "diag/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CFuzzInput input(data, size);
    CIniFile file = CIniFile::Parse(input.Text());
    const std::string once = file.Serialize();
    if (CIniFile::Parse(once).Serialize() != once)
        __builtin_trap();
    (void)file.Find("Ports", "COM1");
    const auto pieces = input.Pieces();
    if (pieces.size() >= 3 && CIniFile::IsStorableName(pieces[0]) && CIniFile::IsStorableName(pieces[1]) &&
        CIniFile::IsStorableValue(pieces[2]))
    {
        file.Set(pieces[0], pieces[1], pieces[2]);
        if (CIniFile::Parse(file.Serialize()).Get(pieces[0], pieces[1]) != pieces[2])
            __builtin_trap();
    }
    return 0;
}
