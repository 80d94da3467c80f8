#include "ui/dialogs/TecSettingRows.h"

#include "instrument/tec/TEC.h"

#include <cmath>

namespace TecSettingRows
{
namespace
{
const QString Degrees = QString::fromUtf8("\u00b0C");
const QString Ohms = QString::fromUtf8("\u03a9");
using SRow = SSettingRow<CTEC>;
using SGroup = SSettingGroup<CTEC>;

std::vector<SRow> Describe()
{
    std::vector<SRow> rows(FieldCount);
    // The limits go out in pairs ordered against what the unit holds (the page's limit writes).
    rows[TLow] =
        SRow("tLowEdit", {}, Degrees, KeyTLimits, WriteTLimits)
            .Writes([](CTEC& t, double v) { return t.SetTLowLimit(static_cast<float>(v)); }, "T low limit")
            .Reads([](CTEC& t) { return t.GetTLowLimit(); });
    rows[THigh] =
        SRow("tHighEdit", {}, Degrees, KeyTLimits, WriteTLimits)
            .Writes([](CTEC& t, double v) { return t.SetTHighLimit(static_cast<float>(v)); }, "T high limit")
            .Reads([](CTEC& t) { return t.GetTHighLimit(); });
    rows[RLow] =
        SRow("rLowEdit", {}, {}, KeyRLimits, WriteRLimits)
            .Writes([](CTEC& t, double v) { return t.SetRLowLimit(static_cast<float>(v)); }, "R low limit")
            .Reads([](CTEC& t) { return t.GetRLowLimit(); });
    rows[RHigh] =
        SRow("rHighEdit", {}, {}, KeyRLimits, WriteRLimits)
            .Writes([](CTEC& t, double v) { return t.SetRHighLimit(static_cast<float>(v)); }, "R high limit")
            .Reads([](CTEC& t) { return t.GetRHighLimit(); });
    rows[IteLimit] = SRow("iteLimitEdit", {}, "Amps", KeyIteLimit, WriteIteLimit)
                         .Uses(&CTEC::GetITELimit, &CTEC::SetITELimit, "current limit")
                         .Accepts(0.01, SRow::NoCeiling, "A");
    // Temperature and time go out together in one tolerance command.
    rows[TolTime] = SRow("tolTimeEdit", "Tol Time:", "sec", KeyTolerance, WriteTolerance).Accepts(0.1, 50.0);
    rows[TolTemp] =
        SRow("tolTempEdit", "Tol Temp:", Degrees, KeyTolerance, WriteTolerance).Accepts(0.01, 10.0);
    rows[CableR] = SRow("cableREdit", "Cable R:", Ohms, KeyCableR, WriteCableR)
                       .Uses(&CTEC::GetCableR, &CTEC::SetCableR)
                       .Accepts(0.0, 10.0);
    rows[P] = SRow("pEdit", "P =", {}, KeyGain, WriteGain).Accepts(0.0, 1000.0);
    rows[I] = SRow("iEdit", "I =", {}, KeyGain, WriteGain).Accepts(0.0, 1000.0);
    rows[D] = SRow("dEdit", "D =", {}, KeyGain, WriteGain).Accepts(0.0, 1000.0);
    // The whole fan setting goes out on every OK.
    rows[FanVolts] = SRow("fanVoltageEdit", "Voltage:", "V", KeyFan, WriteFan).Accepts(4.5, 12.0);
    rows[FanDelay] =
        SRow("fanDelayEdit", "Delay:", "min", KeyFan, WriteFan).Accepts(1, 60).Shows(EShown::Integer);
    // Each set of constants goes out in one command; the edits hold mantissas of the printed power.
    const char* const names[] = {"thermAEdit", "thermBEdit", "thermCEdit", "rtdAEdit",
                                 "rtdBEdit",   "rtdCEdit",   "rtdR0Edit",  "ad590MEdit",
                                 "ad590BEdit", "lm335MEdit", "lm335BEdit"};
    const char* const labels[] = {"A:", "B:", "C:", "A:", "B:", "C:", "Ro:", "M:", "B:", "M:", "B:"};
    const int powers[] = {-3, -4, -7, -3, -6, -12, 0, 0, 0, 0, 0};
    for (size_t k = 0; k <= Lm335B - ThermA; ++k)
    {
        const QString unit = powers[k]             ? QString("x10<sup>%1</sup>").arg(powers[k])
                             : k == RtdR0 - ThermA ? Ohms
                                                   : "";
        rows[ThermA + k] = SRow(names[k], labels[k], unit, KeyConstants, WriteConstants)
                               .Shows(EShown::Constant)
                               .Scaled(std::pow(10.0, -powers[k]));
    }
    // The analog scaling goes out around the enable flag (the page's analog writes).
    rows[AnalogAt0V] = SRow("analogTsetAt0VEdit", "Tset at 0V In:", Degrees, KeyAnalog, WriteAnalog);
    rows[AnalogAt2V5] = SRow("analogTsetAt2V5Edit", "Tset at 2.5V In:", Degrees, KeyAnalog, WriteAnalog);
    return rows;
}

std::vector<SGroup> DescribeGroups()
{
    std::vector<SGroup> groups(GroupCount);
    groups[ToleranceGroup] = {{TolTemp, TolTime},
                              [](CTEC& t, std::vector<float>& v) { return t.GetTolerance(v[0], v[1]); },
                              [](CTEC& t, const std::vector<double>& v)
                              { return t.SetTolerance(v[0], v[1]); }};
    groups[PidGroup] = {{P, I, D},
                        [](CTEC& t, std::vector<float>& v) { return t.GetPID(v[0], v[1], v[2]); },
                        [](CTEC& t, const std::vector<double>& v) { return t.SetPID(v[0], v[1], v[2]); }};
    groups[ThermistorGroup] = {
        {ThermA, ThermB, ThermC},
        [](CTEC& t, std::vector<float>& v) { return t.GetThermistorConstants(-1, v[0], v[1], v[2]); },
        [](CTEC& t, const std::vector<double>& v) { return t.SetThermistorConstants(-1, v[0], v[1], v[2]); }};
    groups[RtdGroup] = {
        {RtdA, RtdB, RtdC, RtdR0},
        [](CTEC& t, std::vector<float>& v) { return t.GetRTDConstants(-1, v[0], v[1], v[2], v[3]); },
        [](CTEC& t, const std::vector<double>& v) { return t.SetRTDConstants(-1, v[0], v[1], v[2], v[3]); }};
    for (int set = 0; set < 2; ++set)
        groups[Ad590Group + static_cast<size_t>(set)] = {
            set == 0 ? std::vector<size_t>{Ad590M, Ad590B} : std::vector<size_t>{Lm335M, Lm335B},
            [set](CTEC& t, std::vector<float>& v) { return t.GetICConstants(set, v[0], v[1]); },
            [set](CTEC& t, const std::vector<double>& v) { return t.SetICConstants(set, v[0], v[1]); }};
    return groups;
}
} // namespace

// Described once, at first use.
const std::vector<SSettingRow<CTEC>>& Rows()
{
    static const auto described = Describe();
    return described;
}

const std::vector<SSettingGroup<CTEC>>& Groups()
{
    static const auto described = DescribeGroups();
    return described;
}

std::set<uint32_t> ReadHidden(CTEC& tec)
{
    std::set<uint32_t> hidden;
    for (uint32_t key : GroupKeys)
        if (tec.IsSettingHidden(key))
            hidden.insert(key);
    for (const SSensorEntry& entry : SensorEntries)
        if (tec.IsSettingHidden(entry.key))
            hidden.insert(entry.key);
    if (!tec.IsFanSupported())
        hidden.insert(KeyFan);
    if (!tec.HasHeatCool())
        hidden.insert(KeyHeatCool);
    return hidden;
}

SBounds ReadBounds(CTEC& tec, const std::set<uint32_t>& hidden)
{
    const auto offered = [&](uint32_t key) { return hidden.count(key) == 0; };
    SBounds bounds;
    bounds.minT = tec.GetMinT();
    bounds.maxT = tec.GetMaxT();
    bounds.maxIteLimit = tec.GetMaxITELimit();
    // A set point is asked for only where a limit may not pass it (the poll usually has it already).
    if (offered(KeyTLimits) && !offered(KeyTLimitsIndependent))
        bounds.tSet = tec.GetTSetPoint();
    if (offered(KeyRLimits) && !offered(KeyRLimitsIndependent))
        bounds.rSet = tec.GetRSetPoint();
    if (offered(KeyIteLimit) && !offered(KeyIteLimitIndependent))
        bounds.iteSet = tec.GetITESetPoint();
    return bounds;
}

std::vector<std::pair<QString, int>> GainItems()
{
    std::vector<std::pair<QString, int>> items;
    items.reserve(GainCodes.size());
    for (int code : GainCodes)
        items.emplace_back(code == GainPID ? QString("PID") : QString::number(code), code);
    return items;
}

std::vector<std::pair<QString, int>> FanSpeedItems(bool onOff)
{
    if (onOff)
        return {{"Off", FanOff}, {"On", FanOn}};
    return {{"Off", FanOff},
            {"Slow", FanSlow},
            {"Medium", FanMedium},
            {"Fast", FanFast},
            {"Custom", FanSpeedCustom}};
}

const std::vector<COutputOffBoxes::SCondition>& Conditions()
{
    static const std::vector<COutputOffBoxes::SCondition> conditions = {
        {"Current Limit", "currentLimitCheck", 0x1},
        {"R (sensor) Limits", "rLimitsCheck", 0x4},
        {"Temperature High Limit", "tHighLimitCheck", 0x8},
        {"Temperature Low Limit", "tLowLimitCheck", 0x10},
        {"Sensor Open", "sensorOpenCheck", 0x40},
        {"Sensor Short", "sensorShortCheck", 0x400},
        {"TEC Open", "tecOpenCheck", 0x80},
        {"Out of tolerance", "outOfToleranceCheck", 0x200}};
    return conditions;
}

std::optional<QString> SendLimitPair(CTEC& tec, size_t lowField, std::optional<double> low,
                                     std::optional<double> high)
{
    const SSettingRow<CTEC>& lowRow = Rows()[lowField];
    const SSettingRow<CTEC>& highRow = Rows()[lowField + 1];
    const bool highFirst = !low || lowRow.get(tec) <= static_cast<float>(*low);
    const auto sendLow = [&] { return !low || lowRow.set(tec, *low); };
    const auto sendHigh = [&] { return !high || highRow.set(tec, *high); };
    if (highFirst)
    {
        if (!sendHigh())
            return highRow.refusal;
        return sendLow() ? std::nullopt : std::optional<QString>(lowRow.refusal);
    }
    if (!sendLow())
        return lowRow.refusal;
    return sendHigh() ? std::nullopt : std::optional<QString>(highRow.refusal);
}
} // namespace TecSettingRows
