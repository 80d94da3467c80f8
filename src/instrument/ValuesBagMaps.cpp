#include "instrument/ValuesBagMaps.h"

#include <initializer_list>
#include <vector>

namespace
{
using Map = std::vector<SBagKeyInfo>;

// Rows of one area that a map takes over, moved by offset bytes (combined units keep the laser's
// values behind the TEC's in the same area).
Map Join(std::initializer_list<std::pair<std::span<const SBagKeyInfo>, uint16_t>> blocks)
{
    Map map;
    for (const auto& [rows, offset] : blocks)
    {
        for (SBagKeyInfo row : rows)
        {
            row.address = static_cast<uint16_t>(row.address + offset);
            map.push_back(row);
        }
    }
    return map;
}

// Keyed firmware (GET/PUT). Addresses follow the K760 layout; the keyed transport sends only the key,
// but sizes bound array and string writes.
constexpr SBagKeyInfo kTecUserV2[] = {
    {0x470001, BAG_UI2, 2, 2, false},
    {0x470004, BAG_UI1, 280, 7, false},
    {0x470009, BAG_UI1, 20, 1, false}, // heat/cool mode, present when the unit offers it
    {0x470012, BAG_R4, 36, 4, false},
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
    {0x470032, BAG_STRING, 148, 16, false}, // capability bits
};

constexpr SBagKeyInfo kTecFactoryV2[] = {
    {0x480001, BAG_UI2, 2, 2, false},  {0x480002, BAG_UI1, 4, 1, false},
    {0x480005, BAG_UI1, 7, 1, false},  // fan and feature bits
    {0x480007, BAG_UI2, 8, 2, false},  // maximum ITE [mA]
    {0x480009, BAG_UI2, 14, 2, false}, // supported-sensor mask
};

// One supported-sensor mask per sensor input of the multi-sensor mount.
constexpr SBagKeyInfo kSensorMasksV2[] = {
    {0x480026, BAG_UI2, 40, 2, false}, {0x480027, BAG_UI2, 42, 2, false}, {0x480028, BAG_UI2, 44, 2, false},
    {0x480029, BAG_UI2, 46, 2, false}, {0x48002A, BAG_UI2, 48, 2, false}, {0x48002B, BAG_UI2, 50, 2, false},
    {0x48002C, BAG_UI2, 52, 2, false}, {0x48002D, BAG_UI2, 54, 2, false},
};

constexpr SBagKeyInfo kLaserUserV2[] = {
    {0x370010, BAG_R4, 16, 4, false}, {0x370011, BAG_R4, 20, 4, false},
    {0x370015, BAG_R4, 24, 4, false}, {0x370016, BAG_UI1, 28, 1, false}, // current range: 0 low, 1 high
    {0x370031, BAG_R4, 32, 4, false},
};

constexpr SBagKeyInfo kLaserFactoryV2[] = {
    {0x380014, BAG_UI2, 8, 2, false},  // maximum LDI [mA]
    {0x380015, BAG_UI2, 10, 2, false}, // maximum MDI [µA]
    {0x380016, BAG_UI2, 12, 2, false}, // maximum LDV [mV]
    {0x380017, BAG_UI2, 14, 2, false}, // maximum MDP
    {0x38001A, BAG_R4, 32, 4, false},  {0x38001B, BAG_R4, 36, 4, false}, {0x38001C, BAG_R4, 40, 4, false},
    {0x38001D, BAG_R4, 44, 4, false},  {0x38001E, BAG_R4, 48, 4, false}, {0x38001F, BAG_R4, 52, 4, false},
    {0x380047, BAG_UI1, 64, 1, false}, // QCW capable
};

// Address-based firmware (raw reads and writes). Its factory block stores multi-byte integers most
// significant byte first, hence the swap on those rows.
constexpr SBagKeyInfo kTecUserV1[] = {
    {0x470009, BAG_UI1, 16, 1, false}, {0x470012, BAG_R4, 20, 4, false},  {0x47001D, BAG_R4, 32, 4, false},
    {0x47001E, BAG_R4, 36, 4, false},  {0x47001F, BAG_R4, 40, 4, false},  {0x470020, BAG_R4, 44, 4, false},
    {0x470021, BAG_R4, 48, 4, false},  {0x470022, BAG_R4, 52, 4, false},  {0x470023, BAG_R4, 56, 4, false},
    {0x470024, BAG_R4, 60, 4, false},  {0x470025, BAG_R4, 64, 4, false},  {0x470026, BAG_R4, 68, 4, false},
    {0x470027, BAG_R4, 72, 4, false},  {0x470028, BAG_R4, 76, 4, false},  {0x470029, BAG_R4, 80, 4, false},
    {0x47002A, BAG_R4, 84, 4, false},  {0x47002B, BAG_R4, 88, 4, false},  {0x47002C, BAG_R4, 92, 4, false},
    {0x47002D, BAG_R4, 96, 4, false},  {0x47002E, BAG_R4, 100, 4, false}, {0x47002F, BAG_R4, 104, 4, false},
    {0x470030, BAG_R4, 108, 4, false},
};

constexpr SBagKeyInfo kTecFactoryV1[] = {
    {0x480005, BAG_UI1, 6, 1, false},
    {0x480007, BAG_UI2, 8, 2, true},
    {0x480009, BAG_UI2, 10, 2, true},
};

// The K910's capability bits, a 32-bit word behind the common user values.
constexpr SBagKeyInfo kK910CapabilitiesV1[] = {
    {0x470032, BAG_UI4, 112, 4, true},
};

constexpr SBagKeyInfo kLaserUserV1[] = {
    {0x370010, BAG_R4, 16, 4, false},
    {0x370011, BAG_R4, 20, 4, false},
    {0x370015, BAG_R4, 24, 4, false},
    {0x370031, BAG_R4, 28, 4, false},
};

constexpr SBagKeyInfo kLaserFactoryV1[] = {
    {0x380014, BAG_UI2, 8, 2, true},  {0x380015, BAG_UI2, 10, 2, true},  {0x380016, BAG_UI2, 12, 2, true},
    {0x380017, BAG_UI2, 14, 2, true}, {0x38001A, BAG_R4, 32, 4, false},  {0x38001B, BAG_R4, 36, 4, false},
    {0x38001C, BAG_R4, 40, 4, false}, {0x38001D, BAG_R4, 44, 4, false},  {0x38001E, BAG_R4, 48, 4, false},
    {0x38001F, BAG_R4, 52, 4, false}, {0x380047, BAG_UI1, 64, 1, false},
};

// Combined units keep the laser's values 512 bytes into each area.
constexpr uint16_t kComboLaserOffset = 512;
} // namespace

namespace ValuesBagMaps
{
std::span<const SBagKeyInfo> D310()
{
    static const Map map = Join({{kLaserUserV1, 0}, {kLaserFactoryV1, 0}});
    return map;
}

// Same memory layout as the D310.
std::span<const SBagKeyInfo> D710()
{
    return D310();
}

// The D312 has two current ranges, so it keeps the range selection too.
std::span<const SBagKeyInfo> D312()
{
    static const Map map = Join({{kLaserUserV2, 0}, {kLaserFactoryV2, 0}});
    return map;
}

std::span<const SBagKeyInfo> K705()
{
    static const Map map = Join({{kTecUserV1, 0}, {kTecFactoryV1, 0}});
    return map;
}

std::span<const SBagKeyInfo> K760()
{
    static const Map map = Join({{kTecUserV2, 0}, {kTecFactoryV2, 0}, {kSensorMasksV2, 0}});
    return map;
}

std::span<const SBagKeyInfo> K910()
{
    static const Map map = Join({{kTecUserV1, 0}, {kTecFactoryV1, 0}, {kK910CapabilitiesV1, 0}});
    return map;
}

std::span<const SBagKeyInfo> X510()
{
    static const Map map = Join({{kTecUserV2, 0},
                                 {kTecFactoryV2, 0},
                                 {kLaserUserV2, kComboLaserOffset},
                                 {kLaserFactoryV2, kComboLaserOffset}});
    return map;
}

// The third-generation combined units share the X510's layout.
std::span<const SBagKeyInfo> V3Combo()
{
    return X510();
}
} // namespace ValuesBagMaps
