#include "ui/dialogs/LaserSettingRows.h"

#include "instrument/laser/Laser.h"

#include <algorithm>
#include <numeric>

namespace LaserSettingRows
{
namespace
{
using SRow = SSettingRow<CLaser>;

std::vector<SRow> Describe()
{
    const QString micro = QString::fromUtf8("\u00b5");
    std::vector<SRow> rows(FieldCount);
    // The limits' ceilings are the channel's maxima, read with the page.
    rows[LdiLimit] = SRow("ioLimitEdit", "Io Limit:", "mA", 0, WriteLdiLimit)
                         .Reads([](CLaser& l) { return l.GetLDILimit(); })
                         .Writes([](CLaser& l, double v) { return l.SetLDILimit(v); }, "current limit")
                         .Accepts(0.0, SRow::NoCeiling)
                         .Shows(EShown::Fixed, 0);
    rows[LdvLimit] = SRow("vfLimitEdit", "Vf Limit:", "V", 0, WriteLdvLimit)
                         .Reads([](CLaser& l) { return l.GetLDVLimit(); })
                         .Writes([](CLaser& l, double v) { return l.SetLDVLimit(v); }, "voltage limit")
                         .Accepts(0.0, SRow::NoCeiling)
                         .Shows(EShown::Trimmed, 2);
    rows[MdiLimit] =
        SRow("imLimitEdit", "Im Limit:", micro + "A", 0, WriteMdiLimit)
            .Reads([](CLaser& l) { return l.GetMDILimit(); })
            .Writes([](CLaser& l, double v) { return l.SetMDILimit(v); }, "photodiode current limit")
            .Accepts(0.0, SRow::NoCeiling)
            .Shows(EShown::Fixed, 0);
    rows[MdpLimit] = SRow("poLimitEdit", "Po Limit:", "mW", 0, WriteMdpLimit)
                         .Reads([](CLaser& l) { return l.GetMDPLimit(); })
                         .Writes([](CLaser& l, double v) { return l.SetMDPLimit(v); }, "power limit")
                         .Accepts(0.0, SRow::NoCeiling)
                         .Shows(EShown::Fixed, 0);
    rows[CableR] = SRow("cableREdit", "Cable R:", "Ohms", NeedsCableR, WriteCableR)
                       .Reads([](CLaser& l) { return l.GetCableR(); })
                       .Writes([](CLaser& l, double v) { return l.SetCableR(v); }, "cable resistance")
                       .Accepts(0.0, 10.0)
                       .Shows(EShown::Fixed, 4);
    // 0 clears the calibration, and with it the power limit.
    rows[PdResponse] = SRow("pdResponseEdit", "PD Response:", micro + "A/mW", 0, WritePdResponse)
                           .Reads([](CLaser& l) { return l.GetCalMD(); })
                           .Writes([](CLaser& l, double v) { return l.SetCalMD(v); }, "photodiode response")
                           .Accepts(0.01, 10000.0)
                           .Shows(EShown::Fixed, 2);
    rows[PdBias] = SRow("pdBiasEdit", "PD Bias:", "V", NeedsPdBias, WritePdBias)
                       .Reads([](CLaser& l) { return l.GetPDBias(); })
                       .Writes([](CLaser& l, double v) { return l.SetPDBias(v); }, "photodiode bias")
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
    static const std::vector<SSettingRow<CLaser>> rows = Describe();
    return rows;
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
