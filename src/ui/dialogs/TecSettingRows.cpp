#include "ui/dialogs/TecSettingRows.h"

#include "instrument/tec/TEC.h"

namespace TecSettingRows
{
namespace
{
const QString Degrees = QString::fromUtf8("\u00b0C");
const QString Ohms = QString::fromUtf8("\u03a9");
using SRow = SSettingRow<CTEC>;

std::vector<SRow> Describe()
{
    std::vector<SRow> rows(FieldCount);
    // The limits go out in pairs ordered against what the unit holds (the page's limit writes).
    rows[TLow] = SRow("tLowEdit", {}, Degrees, KeyTLimits, WriteTLimits)
                     .Reads([](CTEC& t) { return t.GetTLowLimit(); });
    rows[THigh] = SRow("tHighEdit", {}, Degrees, KeyTLimits, WriteTLimits)
                      .Reads([](CTEC& t) { return t.GetTHighLimit(); });
    rows[RLow] =
        SRow("rLowEdit", {}, {}, KeyRLimits, WriteRLimits).Reads([](CTEC& t) { return t.GetRLowLimit(); });
    rows[RHigh] =
        SRow("rHighEdit", {}, {}, KeyRLimits, WriteRLimits).Reads([](CTEC& t) { return t.GetRHighLimit(); });
    rows[IteLimit] = SRow("iteLimitEdit", {}, "Amps", KeyIteLimit, WriteIteLimit)
                         .Reads([](CTEC& t) { return t.GetITELimit(); })
                         .Writes([](CTEC& t, double amps) { return t.SetITELimit(static_cast<float>(amps)); },
                                 "current limit")
                         .Accepts(0.01, SRow::NoCeiling, "A");
    // Temperature and time go out together in one tolerance command.
    rows[TolTime] = SRow("tolTimeEdit", "Tol Time:", "sec", KeyTolerance, WriteTolerance).Accepts(0.1, 50.0);
    rows[TolTemp] =
        SRow("tolTempEdit", "Tol Temp:", Degrees, KeyTolerance, WriteTolerance).Accepts(0.01, 10.0);
    rows[CableR] = SRow("cableREdit", "Cable R:", Ohms, KeyCableR, WriteCableR)
                       .Reads([](CTEC& t) { return t.GetCableR(); })
                       .Writes([](CTEC& t, double ohms) { return t.SetCableR(static_cast<float>(ohms)); })
                       .Accepts(0.0, 10.0);
    rows[P] = SRow("pEdit", "P =", {}, KeyGain, WriteGain).Accepts(0.0, 1000.0);
    rows[I] = SRow("iEdit", "I =", {}, KeyGain, WriteGain).Accepts(0.0, 1000.0);
    rows[D] = SRow("dEdit", "D =", {}, KeyGain, WriteGain).Accepts(0.0, 1000.0);
    // The whole fan setting goes out on every OK.
    rows[FanVolts] = SRow("fanVoltageEdit", "Voltage:", "V", KeyFan, WriteFan).Accepts(4.5, 12.0);
    rows[FanDelay] =
        SRow("fanDelayEdit", "Delay:", "min", KeyFan, WriteFan).Accepts(1, 60).Shows(EShown::Integer);
    // Each set of constants goes out in one command, scaled by ConstantScale.
    const char* const names[] = {"thermAEdit", "thermBEdit", "thermCEdit", "rtdAEdit",
                                 "rtdBEdit",   "rtdCEdit",   "rtdR0Edit",  "ad590MEdit",
                                 "ad590BEdit", "lm335MEdit", "lm335BEdit"};
    const char* const labels[] = {"A:", "B:", "C:", "A:", "B:", "C:", "Ro:", "M:", "B:", "M:", "B:"};
    const char* const powers[] = {"-3",    "-4",    "-7",    "-3",    "-6",   "-12",
                                  nullptr, nullptr, nullptr, nullptr, nullptr};
    for (size_t k = 0; k < ConstantScale.size(); ++k)
    {
        const QString unit = powers[k]             ? QString("x10<sup>%1</sup>").arg(powers[k])
                             : k == RtdR0 - ThermA ? Ohms
                                                   : "";
        rows[ThermA + k] =
            SRow(names[k], labels[k], unit, KeyConstants, WriteConstants).Shows(EShown::Constant);
    }
    // The analog scaling goes out around the enable flag (the page's analog writes).
    rows[AnalogAt0V] = SRow("analogTsetAt0VEdit", "Tset at 0V In:", Degrees, KeyAnalog, WriteAnalog);
    rows[AnalogAt2V5] = SRow("analogTsetAt2V5Edit", "Tset at 2.5V In:", Degrees, KeyAnalog, WriteAnalog);
    return rows;
}
} // namespace

const std::vector<SSettingRow<CTEC>>& Rows()
{
    static const std::vector<SSettingRow<CTEC>> rows = Describe();
    return rows;
}
} // namespace TecSettingRows
