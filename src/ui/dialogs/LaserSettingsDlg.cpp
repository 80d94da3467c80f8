#include "ui/dialogs/LaserSettingsDlg.h"

#include "instrument/laser/Laser.h"
#include "ui/dialogs/LaserSettingRows.h"
#include "ui/widgets/LocaleNumber.h"
#include "ui/widgets/OutputOffBoxes.h"
#include "ui/widgets/ReadingState.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

using namespace LaserSettingRows;

namespace
{
// A maximum the model does not give (0 or less, unreadable) does not bound the entry.
double Ceiling(double maximum)
{
    return maximum > 0.0 && std::isfinite(maximum) ? maximum : SSettingRow<CLaser>::NoCeiling;
}

double Known(float value)
{
    return ReadingState::IsNoValue(value) ? 0.0 : value;
}
} // namespace

CLaserSettingsDlg::CLaserSettingsDlg(const SUiContext& context, SLaserChannelAccess access, QWidget* parent)
    : CSettingsPage(context, access, parent), m_access(std::move(access)),
      m_fields(Rows(), CSettingFields::ELayout::Wide)
{
    setObjectName("laserSettingsPage");
    BuildControls();
}

void CLaserSettingsDlg::BuildControls()
{
    auto* values = new QWidget(Form());
    auto* grid = new QGridLayout(values);
    grid->setContentsMargins(0, 0, 0, 0);
    for (size_t k = 0; k < FieldCount; ++k)
        m_fields.Place(k, grid, static_cast<int>(k), values);
    grid->setRowStretch(FieldCount, 1);
    connect(m_fields.Edit(PdResponse), &QLineEdit::textChanged, this, &CLaserSettingsDlg::OnPdResponseEdited);

    auto* right = new QVBoxLayout;
    m_conditions = new COutputOffBoxes(
        {{"Current Limit", "currentLimitCheck", MaskCurrentLimit},
         {"Photodiode Current Limit", "photodiodeCurrentLimitCheck", MaskPhotodiodeCurrentLimit},
         {"Photodiode Power Limit", "photodiodePowerLimitCheck", MaskPhotodiodePowerLimit},
         {"Out of Tolerance", "outOfToleranceCheck", MaskOutOfTolerance},
         {"TEC Off", "tecOffCheck", MaskTecOff},
         {"TEC T Limit", "tecTLimitCheck", MaskTecTLimit}},
        6, Form());
    m_conditions->setObjectName("outputOffGroup");
    right->addWidget(m_conditions);
    right->addWidget(BuildRange());
    right->addStretch(1);
    auto* layout = new QHBoxLayout(Form());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(values, 1);
    layout->addLayout(right);
}

QGroupBox* CLaserSettingsDlg::BuildRange()
{
    m_rangeGroup = new QGroupBox("Range", Form());
    m_rangeGroup->setObjectName("rangeGroup");
    auto* ranges = new QVBoxLayout(m_rangeGroup);
    m_lowRange = new QRadioButton("Low Range", m_rangeGroup);
    m_lowRange->setObjectName("lowRangeRadio");
    m_highRange = new QRadioButton("High Range", m_rangeGroup);
    m_highRange->setObjectName("highRangeRadio");
    ranges->addWidget(m_lowRange);
    ranges->addWidget(m_highRange);
    return m_rangeGroup;
}

bool CLaserSettingsDlg::Load()
{
    return ReadAll<CLaser, SSnapshot>(m_access, &CLaserSettingsDlg::ReadSnapshot,
                                      [this](const SSnapshot& snapshot) { ApplySnapshot(snapshot); });
}

CLaserSettingsDlg::SSnapshot CLaserSettingsDlg::ReadSnapshot(CLaser& laser)
{
    SSnapshot read;
    read.values.resize(FieldCount);
    read.dualRange = laser.HasDualRange();
    if (!laser.HasCableR())
        read.lacking.insert(NeedsCableR);
    if (!laser.GetFeatureFlag(0))
        read.lacking.insert(NeedsPdBias);
    read.tecConditions = laser.HasTECChannel();
    read.mask = laser.GetOutputOffEnable();
    // A value a model lacks reads as 0 and is never asked for.
    for (size_t k : {LdiLimit, MdiLimit, MdpLimit, LdvLimit, CableR, PdResponse, PdBias})
        if (read.lacking.count(Rows()[k].hiddenBy) == 0)
            read.values[k] = Known(Rows()[k].get(laser));
    Groups()[ToleranceGroup].Read(laser, read.values); // 0 and 0 when unreadable
    read.values[OnDelay] = Rows()[OnDelay].get(laser);
    if (read.dualRange)
        read.range = laser.GetRange();
    read.maxLdiSetPoint = Known(laser.GetMaxLDISetPoint());
    read.maxLdvSetPoint = Known(laser.GetMaxLDVSetPoint());
    read.maxMdiSetPoint = Known(laser.GetMaxMDISetPoint());
    read.maxMdiLimit = Known(laser.GetMaxMDILimit());
    read.maxLdiLimit = Known(laser.GetMaxLDILimit(false));
    return read;
}

void CLaserSettingsDlg::ApplySnapshot(const SSnapshot& read)
{
    m_dualRange = read.dualRange;
    m_lacking = read.lacking;
    if (m_dualRange)
        m_rangeRead = read.range;
    m_maxLdiSetPoint = read.maxLdiSetPoint;
    m_maxLdvSetPoint = read.maxLdvSetPoint;
    m_maxMdiSetPoint = read.maxMdiSetPoint;
    m_maxMdiLimit = read.maxMdiLimit;
    m_maxLdiLimit = read.maxLdiLimit;

    m_conditions->Show(read.mask);
    m_rangeGroup->setVisible(m_dualRange);
    if (m_dualRange)
    {
        m_lowRange->setText(QString("Low Range (%1mA)").arg(LocaleNumber::Format(m_maxLdiLimit / 2.0, 0)));
        m_highRange->setText(QString("High Range (%1mA)").arg(LocaleNumber::Format(m_maxLdiLimit, 0)));
        (m_rangeRead == 0 ? m_lowRange : m_highRange)->setChecked(true);
    }
    for (size_t k = 0; k < FieldCount; ++k)
    {
        for (QWidget* widget : m_fields.Widgets(k))
            widget->setVisible(Offered(Rows()[k].hiddenBy));
        m_fields.Show(k, read.values[k]);
    }
    m_conditions->Box(MaskTecOff)->setVisible(read.tecConditions);
    m_conditions->Box(MaskTecTLimit)->setVisible(read.tecConditions);
    OnPdResponseEdited();
}

void CLaserSettingsDlg::OnPdResponseEdited()
{
    const std::optional<double> response = LocaleNumber::Parse(m_fields.Edit(PdResponse)->text());
    m_fields.Edit(MdpLimit)->setEnabled(response && *response != 0.0);
}

// A value the user did not change is not sent, so it is not checked either: a stored value outside
// the page's range must not block OK for an unrelated edit.
bool CLaserSettingsDlg::ValidateField(size_t field, double low, double high)
{
    return !m_fields.Differs(field) || m_fields.Check(field, m_context.prompter, low, high);
}

bool CLaserSettingsDlg::ValidateField(size_t field)
{
    return ValidateField(field, Rows()[field].low, Rows()[field].high);
}

bool CLaserSettingsDlg::Validate()
{
    if (!IsLoaded())
        return false;
    // The current limit must fit the range being chosen: the low range holds half the maximum.
    const double ldiCeiling =
        m_dualRange && m_lowRange->isChecked() ? Ceiling(m_maxLdiLimit / 2.0) : Ceiling(m_maxLdiSetPoint);
    if (!ValidateField(LdiLimit, 0.0, ldiCeiling) ||
        !ValidateField(LdvLimit, 0.0, Ceiling(m_maxLdvSetPoint)) ||
        !ValidateField(MdiLimit, 0.0, Ceiling(m_maxMdiSetPoint)))
        return false;
    // The PD response before the power limit: the limit's ceiling depends on it. 0 clears the
    // calibration: no range applies.
    const std::optional<double> typedResponse = LocaleNumber::Parse(m_fields.Edit(PdResponse)->text());
    if (!(m_fields.Differs(PdResponse) && typedResponse && *typedResponse == 0.0) &&
        !ValidateField(PdResponse))
        return false;
    const double response = m_fields.Entered(PdResponse);
    if (response != 0.0 && !ValidateField(MdpLimit, 0.0, Ceiling(m_maxMdiLimit) / response))
        return false;
    for (size_t k : {CableR, PdBias, TolTime, TolIo, OnDelay})
        if (Offered(Rows()[k].hiddenBy) && !ValidateField(k))
            return false;
    return true;
}

void CLaserSettingsDlg::Write(std::function<void(bool)> done)
{
    CWriteSequence<CLaser> writes;
    AddWrites(writes);
    WriteAll(m_access, writes, std::move(done));
}

// Stops at the first value the unit refuses. What went out is taken as read, so that OK again sends
// only what is left.
void CLaserSettingsDlg::AddWrites(CWriteSequence<CLaser>& writes)
{
    if (m_dualRange)
    {
        const int range = m_lowRange->isChecked() ? 0 : 1;
        if (range != m_rangeRead)
            writes.Add(
                "current range", [range](CLaser& laser) { return laser.SetRange(range); },
                [this, range] { m_rangeRead = range; });
    }
    if (m_conditions->Changed())
        writes.Add(
            "output-off conditions",
            [mask = m_conditions->Mask()](CLaser& laser) { return laser.SetOutputOffEnable(mask); },
            [this, mask = m_conditions->Mask()] { m_conditions->Taken(mask); });
    const bool power = m_fields.Entered(PdResponse) != 0.0;
    for (size_t k : WriteOrder())
    {
        const SSettingRow<CLaser>& row = Rows()[k];
        if (k == TolTime && (m_fields.Differs(TolIo) || m_fields.Differs(TolTime)))
            Groups()[ToleranceGroup].AddWrite(writes, {m_fields.Entered(TolIo), m_fields.Entered(TolTime)},
                                              m_fields.TakenLater({TolIo, TolTime}));
        if (row.set && Offered(row.hiddenBy) && (k != MdpLimit || power) && m_fields.Differs(k))
            row.AddWrite(writes, m_fields.Entered(k), m_fields.TakenLater({k}));
    }
}
