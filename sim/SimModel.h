#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// How a model's firmware exposes its memory map.
enum class ESimBagKind
{
    None,  // no stored values reachable
    Raw,   // "!!READ"/"!!WRITE" by address only (older firmware)
    Keyed, // ":GET?"/":PUT"/":PUTARRAY" by key, and raw access as well
};

// Value type codes of stored values, as the program's value bags name them.
enum ESimValueType
{
    kSimI32 = 3,
    kSimF32 = 4,
    kSimU8 = 17,
    kSimU16 = 18,
    kSimU32 = 19,
    kSimArray = 28,
    kSimString = 1002,
};

// One stored value of a model's memory map. The key is section (bits 16-27) and index (bits 0-15);
// sections 0x?7 live in the user area, 0x?8 in the factory area (each area its own address space).
struct SSimKeyDef
{
    uint32_t key = 0;
    int type = kSimU8;
    uint16_t address = 0;       // byte offset inside the key's area
    uint16_t size = 1;          // [bytes]
    double number = 0.0;        // initial value of numeric types
    const char* text = nullptr; // initial bytes of arrays and strings (zero-padded to size)
};

// Everything that makes one model differ: identity, capabilities and memory map. Rows of the model
// table are built from this record (see SimModelTable.cpp).
struct SSimModel
{
    std::string name;      // simulator's own key: "K760", "M608-R4"
    std::string maker;     // first field of "*IDN?"
    std::string modelText; // "MODEL?" reply
    int familyCode = 0;    // "REV?" fields family.model.variant.build
    int modelCode = 0;
    int variantCode = 0;
    int buildNumber = 0;      // also "BUILD?" as "B%d"
    bool hasRevision = true;  // false: older firmware, "REV?" is an unknown command (error 123)
    std::string revisionText; // when not empty, "REV?" answers this text instead of the codes
    int versionMajor = 1;     // "VER?" answers "v%d.%d.%d" (major, minor, revision)
    int versionMinor = 0;
    int versionRevision = 0;
    std::string serial;
    std::string calibrationDate;
    std::string comment; // why this row exists / how it differs (shown by --list-models)

    // Channels per family: 0 none; 1 single channel (its channel queries answer 0, the number the
    // program gives single-channel instruments); above 1 numbered 1..n and selected with "xxx:CHAN n".
    int tecChannels = 0;
    int laserChannels = 0;
    int lpsChannels = 0;
    unsigned tecFitted = 0xF; // bit n-1 set: channel n fitted (only for numbered channels)
    unsigned laserFitted = 0xF;
    unsigned lpsFitted = 0xF;

    int sensorCount = 1;     // sensors per TEC channel
    uint16_t sensorMask = 0; // supported sensor types, bit layout of key 0x480009
    bool dualRange = false;  // laser has low and high current range ("LAS:RANGE")
    bool pulse = false;      // laser pulse-capable (PULSE, TRIG, BURST modes)
    bool qcw = false;        // laser QCW parameters
    bool fan = false;        // TEC fan commands
    bool heatCool = false;   // "TEC:HEATCOOL"
    bool analog = false;     // analog set point interface
    bool remoteSet = false;  // "REMSET"
    bool autoTune = false;   // "TEC:AUTOTUNE"
    bool cableR = true;      // "TEC:CABLER", "LAS:CABLER", "LPS:CABLER"

    ESimBagKind bagKind = ESimBagKind::None;
    std::vector<SSimKeyDef> memory;
    std::array<uint32_t, 4> rangeMaxLdi{}; // factory block 69: maximum LDI per current range [mA]
};
