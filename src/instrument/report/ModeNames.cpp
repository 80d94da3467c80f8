#include "instrument/report/ModeNames.h"

#include "instrument/laser/LaserProtocol.h"
#include "instrument/tec/TecTypes.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace
{
struct SModeName
{
    const char* name;
    int mode;
};

struct SShownName
{
    int mode;
    const char* shown;
};

constexpr std::array<SModeName, 3> kTecModes{{{"T", TecModeT}, {"R", TecModeR}, {"ITE", TecModeITE}}};
constexpr std::array<SModeName, 8> kLaserModes{{{"ICW", LaserModeICW},
                                                {"IHBW", LaserModeIHBW},
                                                {"PULSE", LaserModePulse},
                                                {"TRIG", LaserModeTrig},
                                                {"BURST", LaserModeBurst},
                                                {"MDI", LaserModeMDI},
                                                {"MDP", LaserModeMDP},
                                                {"LDV", LaserModeLDV}}};
constexpr std::array<SShownName, 8> kLaserShown{{{LaserModeICW, "Io"},
                                                 {LaserModeIHBW, "Io HiBW"},
                                                 {LaserModePulse, "Pulse"},
                                                 {LaserModeTrig, "Ext Trig"},
                                                 {LaserModeBurst, "Burst"},
                                                 {LaserModeMDI, "Im"},
                                                 {LaserModeMDP, "Po"},
                                                 {LaserModeLDV, "Vf"}}};

// The names are upper-case ASCII; what is typed may be in any case.
bool SameName(const std::string& text, const char* name)
{
    const std::string_view wanted(name);
    return text.size() == wanted.size() &&
           std::equal(text.begin(), text.end(), wanted.begin(),
                      [](unsigned char typed, char known) { return std::toupper(typed) == known; });
}

template <size_t N>
int ModeByName(const std::array<SModeName, N>& table, const std::string& text)
{
    for (const SModeName& row : table)
    {
        if (SameName(text, row.name))
            return row.mode;
    }
    return 0;
}

template <size_t N>
std::string NameOfMode(const std::array<SModeName, N>& table, int mode)
{
    for (const SModeName& row : table)
    {
        if (row.mode == mode)
            return row.name;
    }
    return "?";
}
} // namespace

namespace ModeNames
{
std::string Tec(int mode)
{
    return NameOfMode(kTecModes, mode);
}

std::string Laser(int mode)
{
    return NameOfMode(kLaserModes, mode);
}

std::string LaserShown(int mode)
{
    for (const SShownName& row : kLaserShown)
    {
        if (row.mode == mode)
            return row.shown;
    }
    return "?";
}

int ParseTec(const std::string& text)
{
    return ModeByName(kTecModes, text);
}

int ParseLaser(const std::string& text)
{
    return ModeByName(kLaserModes, text);
}
} // namespace ModeNames
