#include "instrument/valuebags/ValuesBagMaps.h"

#include <initializer_list>
#include <vector>

namespace
{
using Map = std::vector<SBagKeyInfo>;

// The instruments share one memory layout (the K760's): TEC values at the bottom of the user and
// factory areas, laser values from byte 400 up, so that combined units hold both. Models differ in
// which keys they have. Multi-byte values are stored least significant byte first.
constexpr SBagKeyInfo kTecUser[] = {
    {0x470001, BAG_UI2, 2, 2, false},   // user settings layout version
    {0x470004, BAG_UI1, 280, 7, false}, // user flags block
    {0x470012, BAG_UI1, 18, 1, false},
    {0x47001D, BAG_R4, 44, 4, false}, // thermistor constants A, B, C
    {0x47001E, BAG_R4, 48, 4, false},
    {0x47001F, BAG_R4, 52, 4, false},
    {0x470020, BAG_R4, 56, 4, false}, // RTD constants
    {0x470021, BAG_R4, 60, 4, false},
    {0x470022, BAG_R4, 64, 4, false},
    {0x470023, BAG_R4, 68, 4, false},
    {0x470024, BAG_R4, 72, 4, false}, // IC sensor constants, two sets of two
    {0x470025, BAG_R4, 76, 4, false},
    {0x470026, BAG_R4, 80, 4, false},
    {0x470027, BAG_R4, 84, 4, false},
    {0x470028, BAG_R4, 88, 4, false}, // stored PID
    {0x470029, BAG_R4, 92, 4, false},
    {0x47002A, BAG_R4, 96, 4, false},
    {0x47002B, BAG_R4, 100, 4, false},
    {0x47002C, BAG_R4, 104, 4, false}, // stored T high bound [°C]
    {0x47002D, BAG_R4, 108, 4, false}, // stored T low bound [°C]
    {0x47002E, BAG_R4, 112, 4, false}, // stored ITE limit bound [A]
    {0x47002F, BAG_R4, 116, 4, false},
    {0x470030, BAG_R4, 120, 4, false},
};

// Only units that offer the heat/cool restriction store it; the TEC channel asks for it by this key.
constexpr SBagKeyInfo kTecHeatCool[] = {
    {0x470009, BAG_UI1, 9, 1, false},
};

constexpr SBagKeyInfo kTecCapabilities[] = {
    {0x470032, BAG_STRING, 148, 16, false}, // capability bits
};

constexpr SBagKeyInfo kTecFactory[] = {
    {0x480001, BAG_UI2, 2, 2, false},                                    // factory layout version
    {0x480002, BAG_UI1, 4, 1, false},  {0x480005, BAG_UI1, 7, 1, false}, // fan and feature bits
    {0x480007, BAG_UI2, 8, 2, false},                                    // maximum ITE [mA]
    {0x480009, BAG_UI2, 14, 2, false},                                   // supported-sensor mask
};

// One supported-sensor mask per sensor input of a multi-sensor mount (indices 0-7).
constexpr SBagKeyInfo kSensorMasks[] = {
    {0x480026, BAG_UI2, 40, 2, false}, {0x480027, BAG_UI2, 42, 2, false}, {0x480028, BAG_UI2, 44, 2, false},
    {0x480029, BAG_UI2, 46, 2, false}, {0x48002A, BAG_UI2, 48, 2, false}, {0x48002B, BAG_UI2, 50, 2, false},
    {0x48002C, BAG_UI2, 52, 2, false}, {0x48002D, BAG_UI2, 54, 2, false},
};

constexpr SBagKeyInfo kLaserUser[] = {
    {0x370010, BAG_R4, 400, 4, false},
    {0x370011, BAG_R4, 404, 4, false},
    {0x370015, BAG_R4, 408, 4, false},
    {0x370031, BAG_R4, 416, 4, false},
};

constexpr SBagKeyInfo kLaserRange[] = {
    {0x370016, BAG_UI1, 412, 1, false}, // current range: 0 low, 1 high
};

constexpr SBagKeyInfo kLaserFactory[] = {
    {0x380014, BAG_UI4, 400, 4, false}, // maximum LDI [mA]
    {0x380015, BAG_UI4, 404, 4, false}, // maximum MDI [µA]
    {0x380016, BAG_UI4, 408, 4, false}, // maximum LDV [mV]
    {0x380017, BAG_UI4, 412, 4, false}, // maximum MDP [µW]
    {0x38001A, BAG_R4, 416, 4, false},  {0x38001B, BAG_R4, 420, 4, false}, {0x38001C, BAG_R4, 424, 4, false},
    {0x38001D, BAG_R4, 428, 4, false},  {0x38001E, BAG_R4, 432, 4, false}, {0x38001F, BAG_R4, 436, 4, false},
    {0x380047, BAG_UI1, 440, 1, false}, // QCW fitted
};

Map Join(std::initializer_list<std::span<const SBagKeyInfo>> blocks)
{
    Map map;
    for (std::span<const SBagKeyInfo> rows : blocks)
    {
        map.insert(map.end(), rows.begin(), rows.end());
    }
    return map;
}
} // namespace

namespace ValuesBagMaps
{
// Single-range laser drivers of the older firmware.
std::span<const SBagKeyInfo> D310()
{
    static const Map map = Join({kLaserUser, kLaserFactory});
    return map;
}

std::span<const SBagKeyInfo> D710()
{
    return D310();
}

// Two current ranges, so the range selection is stored too.
std::span<const SBagKeyInfo> D312()
{
    static const Map map = Join({kLaserUser, kLaserRange, kLaserFactory});
    return map;
}

// Older TEC firmware without capability bits or the heat/cool restriction.
std::span<const SBagKeyInfo> K705()
{
    static const Map map = Join({kTecUser, kTecFactory});
    return map;
}

// Seven sensor inputs, each with its own supported-sensor mask.
std::span<const SBagKeyInfo> K760()
{
    static const Map map = Join({kTecUser, kTecHeatCool, kTecCapabilities, kTecFactory, kSensorMasks});
    return map;
}

// Its capability bits decide which settings it hides.
std::span<const SBagKeyInfo> K910()
{
    static const Map map = Join({kTecUser, kTecHeatCool, kTecCapabilities, kTecFactory});
    return map;
}

std::span<const SBagKeyInfo> X510()
{
    static const Map map =
        Join({kTecUser, kTecHeatCool, kTecCapabilities, kTecFactory, kLaserUser, kLaserRange, kLaserFactory});
    return map;
}

// The third-generation combined units keep the X510's values.
std::span<const SBagKeyInfo> V3Combo()
{
    return X510();
}
} // namespace ValuesBagMaps
