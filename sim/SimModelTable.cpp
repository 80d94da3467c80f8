#include "SimModelTable.h"

#include "SimText.h"

namespace
{
// Memory maps. Addresses follow the K760's map; the laser keys sit above the TEC keys so that
// combined units keep both in one user and one factory area.
struct STecMemory
{
    int maxIteMilliAmps = 4000;
    uint16_t sensorMask = 0x03;
    int extraSensors = 0;       // per-sensor masks 0x480026.. for multi-sensor units
    uint16_t extraMask = 0x23;  // thermistors and RTD on the extra sensors
    uint8_t featureBits = 0x00; // 0x480005: 0x40 fan fitted
    const char* capabilityBits = "";
    bool heatCool = false; // heat/cool restriction: its stored value 0x470009 and "TEC:HEATCOOL"
};

std::vector<SSimKeyDef> TecKeys(const STecMemory& t)
{
    std::vector<SSimKeyDef> keys = {
        {0x470001, kSimU16, 2, 2, 1, nullptr},  // user settings layout version
        {0x470004, kSimU8, 280, 7, 0, nullptr}, // user flags block
        {0x470012, kSimU8, 18, 1, 0, nullptr},
        {0x47001D, kSimF32, 44, 4, 1.125e-3, nullptr},   // thermistor A
        {0x47001E, kSimF32, 48, 4, 2.347e-4, nullptr},   // thermistor B
        {0x47001F, kSimF32, 52, 4, 8.566e-8, nullptr},   // thermistor C
        {0x470020, kSimF32, 56, 4, 3.9083e-3, nullptr},  // RTD A
        {0x470021, kSimF32, 60, 4, -5.775e-7, nullptr},  // RTD B
        {0x470022, kSimF32, 64, 4, -4.183e-12, nullptr}, // RTD C
        {0x470023, kSimF32, 68, 4, 100.0, nullptr},      // RTD R0 [ohm]
        {0x470024, kSimF32, 72, 4, 1.0, nullptr},        // AD590 slope
        {0x470025, kSimF32, 76, 4, 0.0, nullptr},        // AD590 offset
        {0x470026, kSimF32, 80, 4, 10.0, nullptr},       // LM335 slope [mV/K]
        {0x470027, kSimF32, 84, 4, 0.0, nullptr},        // LM335 offset
        {0x470028, kSimF32, 88, 4, 24.0, nullptr},       // stored PID P
        {0x470029, kSimF32, 92, 4, 0.8, nullptr},        // stored PID I
        {0x47002A, kSimF32, 96, 4, 1.5, nullptr},        // stored PID D
        {0x47002B, kSimF32, 100, 4, 0.0, nullptr},
        {0x47002C, kSimF32, 104, 4, 150.0, nullptr},                      // stored T high bound [degC]
        {0x47002D, kSimF32, 108, 4, -40.0, nullptr},                      // stored T low bound [degC]
        {0x47002E, kSimF32, 112, 4, t.maxIteMilliAmps / 1000.0, nullptr}, // stored ITE limit bound [A]
        {0x47002F, kSimF32, 116, 4, 0.0, nullptr},
        {0x470030, kSimF32, 120, 4, 0.0, nullptr},
        {0x470032, kSimString, 148, 16, 0, t.capabilityBits},
        {0x480001, kSimU16, 2, 2, 1, nullptr}, // factory layout version
        {0x480002, kSimU8, 4, 1, 0, nullptr},
        {0x480005, kSimU8, 7, 1, static_cast<double>(t.featureBits), nullptr},
        {0x480007, kSimU16, 8, 2, static_cast<double>(t.maxIteMilliAmps), nullptr}, // max ITE [mA]
        {0x480009, kSimU16, 14, 2, static_cast<double>(t.sensorMask), nullptr},
    };
    // The program asks for the restriction exactly when the unit stores it, so only units that
    // answer the command keep the value.
    if (t.heatCool)
        keys.push_back({0x470009, kSimU8, 9, 1, 0, nullptr});
    for (int i = 0; i < t.extraSensors; ++i)
    {
        const uint16_t mask = i == 0 ? t.sensorMask : t.extraMask;
        keys.push_back({0x480026u + i, kSimU16, static_cast<uint16_t>(40 + 2 * i), 2,
                        static_cast<double>(mask), nullptr});
    }
    return keys;
}

struct SLaserMemory
{
    int maxLdiMilliAmps = 500;
    int maxMdiMicroAmps = 5000;
    int maxLdvMilliVolts = 5000;
    int maxMdpMicroWatts = 100000;
    int range = 1;    // 0x370016: 0 low, 1 high
    bool qcw = false; // 0x380047
};

std::vector<SSimKeyDef> LaserKeys(const SLaserMemory& l)
{
    return {
        {0x370010, kSimF32, 400, 4, 0.0, nullptr},
        {0x370011, kSimF32, 404, 4, 0.0, nullptr},
        {0x370015, kSimF32, 408, 4, 0.0, nullptr},
        {0x370016, kSimU8, 412, 1, static_cast<double>(l.range), nullptr}, // current range
        {0x370031, kSimF32, 416, 4, 0.0, nullptr},
        {0x380014, kSimU32, 400, 4, static_cast<double>(l.maxLdiMilliAmps), nullptr},  // max LDI [mA]
        {0x380015, kSimU32, 404, 4, static_cast<double>(l.maxMdiMicroAmps), nullptr},  // max MDI
        {0x380016, kSimU32, 408, 4, static_cast<double>(l.maxLdvMilliVolts), nullptr}, // max LDV [mV]
        {0x380017, kSimU32, 412, 4, static_cast<double>(l.maxMdpMicroWatts), nullptr}, // max MDP
        {0x38001A, kSimF32, 416, 4, 0.0, nullptr},
        {0x38001B, kSimF32, 420, 4, 0.0, nullptr},
        {0x38001C, kSimF32, 424, 4, 0.0, nullptr},
        {0x38001D, kSimF32, 428, 4, 0.0, nullptr},
        {0x38001E, kSimF32, 432, 4, 0.0, nullptr},
        {0x38001F, kSimF32, 436, 4, 0.0, nullptr},
        {0x380047, kSimU8, 440, 1, l.qcw ? 1.0 : 0.0, nullptr}, // QCW fitted
    };
}

std::vector<SSimKeyDef> Join(std::vector<SSimKeyDef> a, const std::vector<SSimKeyDef>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

SSimModel Base(const char* name, const char* modelText, int family, int model, int variant, int build,
               int major, int minor, int revision, const char* serial, const char* comment)
{
    SSimModel m;
    m.name = name;
    m.maker = "Tamrix Instruments";
    m.modelText = modelText;
    m.familyCode = family;
    m.modelCode = model;
    m.variantCode = variant;
    m.buildNumber = build;
    m.versionMajor = major;
    m.versionMinor = minor;
    m.versionRevision = revision;
    m.serial = serial;
    m.calibrationDate = "2025-09-16";
    m.comment = comment;
    return m;
}

SSimModel Laser(SSimModel m, const SLaserMemory& memory, ESimBagKind bag)
{
    m.laserChannels = 1;
    m.bagKind = bag;
    m.memory = LaserKeys(memory);
    return m;
}

SSimModel Tec(SSimModel m, const STecMemory& memory, ESimBagKind bag)
{
    m.tecChannels = 1;
    m.sensorMask = memory.sensorMask;
    m.heatCool = memory.heatCool;
    m.bagKind = bag;
    m.memory = TecKeys(memory);
    return m;
}

std::vector<SSimModel> BuildTable()
{
    std::vector<SSimModel> table;

    SSimModel d310 =
        Laser(Base("D310", "D310", 1, 1, 1, 62, 1, 2, 5, "31012", "laser driver; raw memory access"),
              {.maxLdiMilliAmps = 500}, ESimBagKind::Raw);
    d310.pulse = true; // build 62: BURST offered as well
    table.push_back(d310);

    SSimModel d710 =
        Laser(Base("D710", "D710", 1, 2, 2, 48, 1, 4, 3, "71044", "firmware revision 3; extended limits"),
              {.maxLdiMilliAmps = 1500, .maxLdvMilliVolts = 10000}, ESimBagKind::Raw);
    d710.pulse = true;
    d710.remoteSet = true;
    table.push_back(d710);

    SSimModel d312 =
        Laser(Base("D312", "D312", 1, 2, 10, 57, 2, 1, 0, "31207", "two current ranges; keyed memory"),
              {.maxLdiMilliAmps = 3000}, ESimBagKind::Keyed);
    d312.dualRange = true;
    d312.remoteSet = true;
    table.push_back(d312);

    SSimModel d560 =
        Laser(Base("D560", "D560", 1, 12, 40, 20, 1, 0, 4, "56003", "main (1) and pilot (2) laser"),
              {.maxLdiMilliAmps = 16000}, ESimBagKind::None);
    d560.laserChannels = 2;
    d560.laserFitted = 0x3;
    d560.rangeMaxLdi = {2000, 4000, 8000, 16000};
    table.push_back(d560);

    SSimModel m618 = Laser(Base("M618", "M618", 1, 19, 32, 15, 1, 1, 0, "61821", "four laser channels"),
                           {.maxLdiMilliAmps = 1000}, ESimBagKind::None);
    m618.laserChannels = 4;
    m618.pulse = true;
    table.push_back(m618);

    SSimModel m608 = Laser(Base("M608-R4", "M608", 1, 19, 38, 16, 1, 1, 2, "60844",
                                "variant R4 by revision; its model text alone reads as an M618"),
                           {.maxLdiMilliAmps = 1000}, ESimBagKind::None);
    m608.laserChannels = 4;
    m608.pulse = true;
    table.push_back(m608);

    SSimModel k705 =
        Tec(Base("K705", "K705", 2, 3, 4, 21, 2, 0, 7, "70518",
                 "older firmware without REV? (identified from MODEL?); fan by feature bit"),
            {.maxIteMilliAmps = 4000, .sensorMask = 0x23, .featureBits = 0x40}, ESimBagKind::Raw);
    k705.hasRevision = false;
    k705.fan = true;
    table.push_back(k705);

    SSimModel k910 =
        Tec(Base("K910", "K910", 2, 4, 5, 54, 2, 4, 9, "91033", "AutoTune from build 54; fan"),
            {.maxIteMilliAmps = 2000, .sensorMask = 0x1B, .capabilityBits = "1", .heatCool = true},
            ESimBagKind::Raw);
    k910.fan = true;
    k910.autoTune = true;
    table.push_back(k910);

    SSimModel k19 = Tec(Base("K19-2", "K19-2", 2, 4, 7, 14, 2, 3, 5, "19002",
                             "revision 4.16.26.x: detection falls back to MODEL?"),
                        {.maxIteMilliAmps = 2000, .sensorMask = 0x03, .heatCool = true}, ESimBagKind::Raw);
    k19.revisionText = "4.16.26.14";
    k19.fan = true;
    table.push_back(k19);

    SSimModel k760 = Tec(Base("K760", "K760", 2, 13, 30, 331, 2, 4, 21, "76042",
                              "seven sensors; build above 330 (LM335 up to 4730 mV)"),
                         {.maxIteMilliAmps = 5000,
                          .sensorMask = 0x7F,
                          .extraSensors = 7,
                          .featureBits = 0x40,
                          .heatCool = true},
                         ESimBagKind::Keyed);
    k760.sensorCount = 7;
    k760.fan = k760.analog = k760.autoTune = true;
    table.push_back(k760);

    SSimModel k196 = Tec(Base("K196", "K196", 2, 13, 31, 330, 2, 4, 21, "19617",
                              "two sensors; build 330 (LM335 up to 4250 mV)"),
                         {.maxIteMilliAmps = 3000,
                          .sensorMask = 0x7F,
                          .extraSensors = 2,
                          .featureBits = 0x40,
                          .heatCool = true},
                         ESimBagKind::Keyed);
    k196.sensorCount = 2;
    k196.fan = k196.analog = k196.autoTune = true;
    table.push_back(k196);

    SSimModel m609 = Tec(Base("M609", "M609", 2, 15, 25, 22, 2, 2, 5, "60912", "four TEC channels"),
                         {.maxIteMilliAmps = 3000, .sensorMask = 0x03}, ESimBagKind::None);
    m609.tecChannels = 4;
    m609.fan = m609.autoTune = true;
    table.push_back(m609);

    // The combined units keep the heat/cool restriction; the multi-channel TECs do not.
    const STecMemory comboTec{
        .maxIteMilliAmps = 4000, .sensorMask = 0x0B, .featureBits = 0x40, .heatCool = true};
    const STecMemory multiTec{.maxIteMilliAmps = 4000, .sensorMask = 0x0B, .featureBits = 0x40};
    SSimModel x510 =
        Tec(Base("X510", "X510", 3, 5, 22, 36, 3, 1, 0, "51009", "laser and TEC; two current ranges"),
            comboTec, ESimBagKind::Keyed);
    x510.laserChannels = 1;
    x510.memory = Join(x510.memory, LaserKeys({.maxLdiMilliAmps = 2000, .qcw = true}));
    x510.dualRange = x510.qcw = x510.fan = x510.analog = x510.autoTune = x510.remoteSet = true;
    table.push_back(x510);

    SSimModel x19 = Tec(Base("X19", "X19", 3, 6, 23, 40, 3, 0, 2, "19040", "laser and TEC; single range"),
                        comboTec, ESimBagKind::Keyed);
    x19.laserChannels = 1;
    x19.memory = Join(x19.memory, LaserKeys({.maxLdiMilliAmps = 1000}));
    // The analog set-point input of the K760, and the X510's remote-set permission.
    x19.fan = x19.analog = x19.autoTune = x19.remoteSet = true;
    table.push_back(x19);

    SSimModel m607 = Tec(Base("M607", "M607", 3, 20, 38, 18, 3, 0, 1, "60733", "two lasers and two TECs"),
                         multiTec, ESimBagKind::Keyed);
    m607.tecChannels = 2;
    m607.laserChannels = 2;
    m607.tecFitted = m607.laserFitted = 0x3;
    m607.memory = Join(m607.memory, LaserKeys({.maxLdiMilliAmps = 1000}));
    m607.fan = m607.autoTune = true;
    table.push_back(m607);

    SSimModel s0311 = m607;
    s0311.name = "M607-S0311";
    s0311.variantCode = 39;
    s0311.serial = "60734";
    s0311.comment = "custom variant: QCW on both laser channels";
    s0311.qcw = true;
    s0311.memory = Join(TecKeys(multiTec), LaserKeys({.maxLdiMilliAmps = 1000, .qcw = true}));
    table.push_back(s0311);

    SSimModel oem =
        Tec(Base("OEM", "NL-523", 7, 14, 41, 12, 3, 2, 0, "N52301", "OEM unit: two lasers, three TECs"),
            multiTec, ESimBagKind::Keyed);
    oem.maker = "Norlase";
    oem.tecChannels = 3;
    oem.laserChannels = 2;
    oem.tecFitted = 0x7;
    oem.laserFitted = 0x3;
    oem.memory = Join(oem.memory, LaserKeys({.maxLdiMilliAmps = 2000}));
    oem.fan = oem.autoTune = true;
    table.push_back(oem);

    SSimModel lps = Base("LPS", "LPS-150", 9, 16, 29, 8, 1, 3, 0, "L15007", "lamp power supply");
    lps.maker = "Labsphere";
    lps.lpsChannels = 1;
    table.push_back(lps);

    SSimModel lps4 =
        Base("LPS-4", "LPS-450", 9, 16, 36, 8, 1, 3, 0, "L45011", "four-channel lamp power supply");
    lps4.maker = "Labsphere";
    lps4.lpsChannels = 4;
    table.push_back(lps4);

    return table;
}
} // namespace

const std::vector<SSimModel>& CSimModelTable::All()
{
    static const std::vector<SSimModel> table = BuildTable();
    return table;
}

const SSimModel* CSimModelTable::Find(const std::string& name)
{
    const std::string wanted = simtext::Upper(name);
    for (const SSimModel& model : All())
    {
        if (simtext::Upper(model.name) == wanted)
            return &model;
    }
    return nullptr;
}
