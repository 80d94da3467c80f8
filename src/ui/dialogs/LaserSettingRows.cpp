#include "ui/dialogs/LaserSettingRows.h"

#include "instrument/laser/Laser.h"

#include <algorithm>
#include <numeric>

namespace LaserSettingRows
{
namespace
{
using SRow = SSettingRow<CLaser>;

std::vector<SRow> DescribeRows()
{
    const QString micro = QString::fromUtf8("\u00b5");
    std::vector<SRow> rows(FieldCount);
    // The limits' ceilings are the channel's maxima, read with the page; shown in whole units but the
    // voltage.
    const auto limit = [](const char* name, const char* label, const QString& unit, int group)
    { return SRow(name, label, unit, 0, group).Accepts(0.0, SRow::NoCeiling).Shows(EShown::Fixed, 0); };
    rows[LdiLimit] = limit("ioLimitEdit", "Io Limit:", "mA", WriteLdiLimit)
                         .Uses(&CLaser::GetLDILimit, &CLaser::SetLDILimit, "current limit");
    rows[LdvLimit] = limit("vfLimitEdit", "Vf Limit:", "V", WriteLdvLimit)
                         .Uses(&CLaser::GetLDVLimit, &CLaser::SetLDVLimit, "voltage limit")
                         .Shows(EShown::Trimmed, 2);
    rows[MdiLimit] = limit("imLimitEdit", "Im Limit:", micro + "A", WriteMdiLimit)
                         .Uses(&CLaser::GetMDILimit, &CLaser::SetMDILimit, "photodiode current limit");
    rows[MdpLimit] = limit("poLimitEdit", "Po Limit:", "mW", WriteMdpLimit)
                         .Uses(&CLaser::GetMDPLimit, &CLaser::SetMDPLimit, "power limit");
    rows[CableR] = SRow("cableREdit", "Cable R:", "Ohms", NeedsCableR, WriteCableR)
                       .Uses(&CLaser::GetCableR, &CLaser::SetCableR, "cable resistance")
                       .Accepts(0.0, 10.0)
                       .Shows(EShown::Fixed, 4);
    // 0 clears the calibration, and with it the power limit.
    rows[PdResponse] = SRow("pdResponseEdit", "PD Response:", micro + "A/mW", 0, WritePdResponse)
                           .Uses(&CLaser::GetCalMD, &CLaser::SetCalMD, "photodiode response")
                           .Accepts(0.01, 10000.0)
                           .Shows(EShown::Fixed, 2);
    rows[PdBias] = SRow("pdBiasEdit", "PD Bias:", "V", NeedsPdBias, WritePdBias)
                       .Uses(&CLaser::GetPDBias, &CLaser::SetPDBias, "photodiode bias")
                       .Accepts(0.0, MaxPDBias)
                       .Shows(EShown::Fixed, 1);
    // Current and time go out together in one tolerance command.
    rows[TolTime] = SRow("tolTimeEdit", "Tol Time:", "sec", 0, WriteTolerance)
                        .Accepts(0.001, 50.0)
                        .Shows(EShown::Fixed, 3);
    rows[TolIo] =
        SRow("tolIoEdit", "Tol Io:", "mA", 0, WriteTolerance).Accepts(0.0, 100.0).Shows(EShown::Fixed, 1);
    rows[OnDelay] = SRow("onDelayEdit", "On Delay:", "ms", 0, WriteOnDelay)
                        .Reads([](CLaser& l) { return static_cast<float>(l.GetOnDelay()); })
                        .Writes([](CLaser& l, double ms) { return l.SetOnDelay(static_cast<int>(ms)); },
                                "output-on delay")
                        .Accepts(0, 30000)
                        .Shows(EShown::Integer);
    return rows;
}
} // namespace

const std::vector<SSettingRow<CLaser>>& Rows()
{
    static const auto described = DescribeRows();
    return described;
}

const std::vector<SSettingGroup<CLaser>>& Groups()
{
    static const std::vector<SSettingGroup<CLaser>> groups = {
        {{TolIo, TolTime},
         [](CLaser& l, std::vector<float>& v) { return l.GetTolerance(v[0], v[1]); },
         [](CLaser& l, const std::vector<double>& v) { return l.SetTolerance(v[0], v[1]); },
         "tolerance"}};
    return groups;
}

std::vector<size_t> WriteOrder()
{
    std::vector<size_t> order(FieldCount);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [](size_t a, size_t b) { return Rows()[a].group < Rows()[b].group; });
    return order;
}
} // namespace LaserSettingRows
