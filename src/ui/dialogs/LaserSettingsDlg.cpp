#include "ui/dialogs/LaserSettingsDlg.h"

#include "instrument/laser/Laser.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/FieldPrompts.h"
#include "ui/dialogs/PollPause.h"
#include "ui/widgets/LocaleNumber.h"
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
#include <limits>

namespace
{
constexpr double kNoMaximum = std::numeric_limits<double>::infinity();

// A maximum the model does not give (0 or less, unreadable) does not bound the entry.
double Ceiling(double maximum)
{
    return maximum > 0.0 && std::isfinite(maximum) ? maximum : kNoMaximum;
}

double Known(float value)
{
    return ReadingState::IsNoValue(value) ? 0.0 : value;
}

} // namespace

bool CLaserSettingsDlg::SField::Changed() const
{
    return edit->isEnabled() && edit->text().trimmed() != shown;
}

CLaserSettingsDlg::CLaserSettingsDlg(const SUiContext& context, SLaserChannelAccess access, QWidget* parent)
    : CSettingsPage(parent), m_context(context), m_access(std::move(access))
{
    setObjectName("laserSettingsPage");
    BuildControls();
}

QLineEdit* CLaserSettingsDlg::AddRow(QWidget* parent, int row, const QString& label, const QString& unit,
                                     const char* name, EField field)
{
    auto* grid = static_cast<QGridLayout*>(parent->layout());
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAlignment(Qt::AlignRight);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance("000000.0000") + 10);
    m_labels[field] = new QLabel(label, parent);
    m_labels[field]->setBuddy(edit);
    m_units[field] = new QLabel(unit, parent);
    grid->addWidget(m_labels[field], row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(m_units[field], row, 2);
    m_fields[field].edit = edit;
    return edit;
}

void CLaserSettingsDlg::BuildControls()
{
    auto* values = new QWidget(this);
    auto* grid = new QGridLayout(values);
    grid->setContentsMargins(0, 0, 0, 0);
    AddRow(values, 0, "Io Limit:", "mA", "ioLimitEdit", LdiLimit);
    AddRow(values, 1, "Vf Limit:", "V", "vfLimitEdit", LdvLimit);
    AddRow(values, 2, "Im Limit:", "\u00b5A", "imLimitEdit", MdiLimit);
    AddRow(values, 3, "Po Limit:", "mW", "poLimitEdit", MdpLimit);
    AddRow(values, 4, "Cable R:", "Ohms", "cableREdit", CableR);
    AddRow(values, 5, "PD Response:", "\u00b5A/mW", "pdResponseEdit", PdResponse);
    AddRow(values, 6, "PD Bias:", "V", "pdBiasEdit", PdBias);
    AddRow(values, 7, "Tol Time:", "sec", "tolTimeEdit", TolTime);
    AddRow(values, 8, "Tol Io:", "mA", "tolIoEdit", TolIo);
    AddRow(values, 9, "On Delay:", "ms", "onDelayEdit", OnDelay);
    grid->setRowStretch(10, 1);
    connect(m_fields[PdResponse].edit, &QLineEdit::textChanged, this, &CLaserSettingsDlg::OnPdResponseEdited);

    auto* conditions = new QGroupBox("Conditions That Turn Output Off", this);
    conditions->setObjectName("outputOffGroup");
    auto* boxes = new QVBoxLayout(conditions);
    const auto box = [&](const char* text, const char* name)
    {
        auto* check = new QCheckBox(text, conditions);
        check->setObjectName(name);
        boxes->addWidget(check);
        return check;
    };
    m_currentLimit = box("Current Limit", "currentLimitCheck");
    m_photodiodeCurrentLimit = box("Photodiode Current Limit", "photodiodeCurrentLimitCheck");
    m_photodiodePowerLimit = box("Photodiode Power Limit", "photodiodePowerLimitCheck");
    m_outOfTolerance = box("Out of Tolerance", "outOfToleranceCheck");
    m_tecOff = box("TEC Off", "tecOffCheck");
    m_tecTLimit = box("TEC T Limit", "tecTLimitCheck");
    boxes->addStretch(1);

    m_rangeGroup = new QGroupBox("Range", this);
    m_rangeGroup->setObjectName("rangeGroup");
    auto* ranges = new QVBoxLayout(m_rangeGroup);
    m_lowRange = new QRadioButton("Low Range", m_rangeGroup);
    m_lowRange->setObjectName("lowRangeRadio");
    m_highRange = new QRadioButton("High Range", m_rangeGroup);
    m_highRange->setObjectName("highRangeRadio");
    ranges->addWidget(m_lowRange);
    ranges->addWidget(m_highRange);

    auto* right = new QVBoxLayout;
    right->addWidget(conditions);
    right->addWidget(m_rangeGroup);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(values, 1);
    layout->addLayout(right);
}

bool CLaserSettingsDlg::IsChannelPresent() const
{
    return m_access.Peek() != nullptr;
}

void CLaserSettingsDlg::Fill(EField field, double value, const QString& text)
{
    SField& f = m_fields[field];
    f.read = value;
    f.shown = text;
    f.edit->setText(text);
}

bool CLaserSettingsDlg::Load()
{
    CLaser* laser = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!laser || !link)
        return false;
    m_loaded = false;
    setEnabled(false);
    CInstrBase* session = m_access.Session();
    link.Call(
        this,
        [laser, session]
        {
            // One group with polling paused, as the page has always read.
            session->HoldPause(CPollPause::TimeoutMs);
            const SSnapshot snapshot = ReadSnapshot(*laser);
            session->ReleasePause();
            return snapshot;
        },
        [this](const SSnapshot& snapshot)
        {
            ApplySnapshot(snapshot);
            m_loaded = true;
            setEnabled(true);
        });
    return true;
}

CLaserSettingsDlg::SSnapshot CLaserSettingsDlg::ReadSnapshot(CLaser& laser)
{
    SSnapshot read;
    read.dualRange = laser.HasDualRange();
    read.hasCableR = laser.HasCableR();
    read.hasPdBias = laser.GetFeatureFlag(0);
    read.tecConditions = laser.HasTECChannel();
    read.mask = laser.GetOutputOffEnable();
    read.values[LdiLimit] = Known(laser.GetLDILimit());
    read.values[MdiLimit] = Known(laser.GetMDILimit());
    read.values[MdpLimit] = Known(laser.GetMDPLimit());
    read.values[LdvLimit] = Known(laser.GetLDVLimit());
    read.values[CableR] = read.hasCableR ? Known(laser.GetCableR()) : 0.0;
    read.values[PdResponse] = Known(laser.GetCalMD());
    read.values[PdBias] = read.hasPdBias ? Known(laser.GetPDBias()) : 0.0;
    float tolerance = 0.0f;
    float tolTime = 0.0f;
    if (!laser.GetTolerance(tolerance, tolTime))
        tolerance = tolTime = 0.0f;
    read.values[TolIo] = tolerance;
    read.values[TolTime] = tolTime;
    read.values[OnDelay] = laser.GetOnDelay();
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
    m_hasCableR = read.hasCableR;
    m_hasPdBias = read.hasPdBias;
    const bool tecConditions = read.tecConditions;
    m_maskRead = read.mask;
    for (int field = 0; field < FieldCount; ++field)
        Fill(static_cast<EField>(field), read.values[static_cast<size_t>(field)], {});
    if (m_dualRange)
        m_rangeRead = read.range;
    m_maxLdiSetPoint = read.maxLdiSetPoint;
    m_maxLdvSetPoint = read.maxLdvSetPoint;
    m_maxMdiSetPoint = read.maxMdiSetPoint;
    m_maxMdiLimit = read.maxMdiLimit;
    m_maxLdiLimit = read.maxLdiLimit;

    m_currentLimit->setChecked(m_maskRead & MaskCurrentLimit);
    m_photodiodeCurrentLimit->setChecked(m_maskRead & MaskPhotodiodeCurrentLimit);
    m_photodiodePowerLimit->setChecked(m_maskRead & MaskPhotodiodePowerLimit);
    m_outOfTolerance->setChecked(m_maskRead & MaskOutOfTolerance);
    m_tecOff->setChecked(m_maskRead & MaskTecOff);
    m_tecTLimit->setChecked(m_maskRead & MaskTecTLimit);

    m_rangeGroup->setVisible(m_dualRange);
    if (m_dualRange)
    {
        m_lowRange->setText(QString("Low Range (%1mA)").arg(LocaleNumber::Format(m_maxLdiLimit / 2.0, 0)));
        m_highRange->setText(QString("High Range (%1mA)").arg(LocaleNumber::Format(m_maxLdiLimit, 0)));
        (m_rangeRead == 0 ? m_lowRange : m_highRange)->setChecked(true);
    }
    for (QWidget* widget :
         {static_cast<QWidget*>(m_labels[CableR]), static_cast<QWidget*>(m_fields[CableR].edit),
          static_cast<QWidget*>(m_units[CableR])})
        widget->setVisible(m_hasCableR);
    for (QWidget* widget :
         {static_cast<QWidget*>(m_labels[PdBias]), static_cast<QWidget*>(m_fields[PdBias].edit),
          static_cast<QWidget*>(m_units[PdBias])})
        widget->setVisible(m_hasPdBias);
    m_tecOff->setVisible(tecConditions);
    m_tecTLimit->setVisible(tecConditions);

    const auto show = [this](EField field, const QString& text)
    {
        m_fields[field].shown = text;
        m_fields[field].edit->setText(text);
    };
    show(LdiLimit, LocaleNumber::Format(m_fields[LdiLimit].read, 0));
    show(LdvLimit, LocaleNumber::Trimmed(m_fields[LdvLimit].read, 2));
    show(MdiLimit, LocaleNumber::Format(m_fields[MdiLimit].read, 0));
    show(MdpLimit, LocaleNumber::Format(m_fields[MdpLimit].read, 0));
    show(CableR, LocaleNumber::Format(m_fields[CableR].read, 4));
    show(PdResponse, LocaleNumber::Format(m_fields[PdResponse].read, 2));
    show(PdBias, LocaleNumber::Format(m_fields[PdBias].read, 1));
    show(TolTime, LocaleNumber::Format(m_fields[TolTime].read, 3));
    show(TolIo, LocaleNumber::Format(m_fields[TolIo].read, 1));
    show(OnDelay, QString::number(static_cast<int>(m_fields[OnDelay].read)));
    OnPdResponseEdited();
}

void CLaserSettingsDlg::OnPdResponseEdited()
{
    const std::optional<double> response = LocaleNumber::Parse(m_fields[PdResponse].edit->text());
    m_fields[MdpLimit].edit->setEnabled(response && *response != 0.0);
}

bool CLaserSettingsDlg::ValidateField(EField field, double low, double high)
{
    SField& f = m_fields[field];
    // A value the user did not change is not sent, so it is not checked either: a stored value
    // outside the page's range must not block OK for an unrelated edit.
    if (!f.Changed())
    {
        f.entered = f.read;
        return true;
    }
    const std::optional<double> value =
        FieldPrompts::Number(m_context.prompter, f.edit, low, high, m_units[field]->text());
    if (!value)
        return false;
    f.entered = *value;
    return true;
}

bool CLaserSettingsDlg::Validate()
{
    if (!m_loaded)
        return false;
    // The current limit must fit the range being chosen: the low range holds half the maximum.
    const double ldiCeiling =
        m_dualRange && m_lowRange->isChecked() ? Ceiling(m_maxLdiLimit / 2.0) : Ceiling(m_maxLdiSetPoint);
    if (!ValidateField(LdiLimit, 0.0, ldiCeiling) ||
        !ValidateField(LdvLimit, 0.0, Ceiling(m_maxLdvSetPoint)) ||
        !ValidateField(MdiLimit, 0.0, Ceiling(m_maxMdiSetPoint)))
        return false;
    // The PD response before the power limit: the limit's ceiling depends on it.
    SField& response = m_fields[PdResponse];
    const std::optional<double> typedResponse = LocaleNumber::Parse(response.edit->text());
    if (response.Changed() && typedResponse && *typedResponse == 0.0)
        response.entered = 0.0; // 0 clears the calibration: no range applies
    else if (!ValidateField(PdResponse, 0.01, 10000.0))
        return false;
    if (response.entered != 0.0 && !ValidateField(MdpLimit, 0.0, Ceiling(m_maxMdiLimit) / response.entered))
        return false;
    if (m_hasCableR && !ValidateField(CableR, 0.0, 10.0))
        return false;
    if (m_hasPdBias && !ValidateField(PdBias, 0.0, MaxPDBias))
        return false;
    if (!ValidateField(TolTime, 0.001, 50.0) || !ValidateField(TolIo, 0.0, 100.0))
        return false;
    SField& delay = m_fields[OnDelay];
    if (delay.Changed())
    {
        const std::optional<int> ms = FieldPrompts::Integer(m_context.prompter, delay.edit, 0, 30000);
        if (!ms)
            return false;
        delay.entered = *ms;
    }
    else
        delay.entered = delay.read;
    return true;
}

int CLaserSettingsDlg::BuildMask() const
{
    int mask = m_maskRead & ~(MaskCurrentLimit | MaskPhotodiodeCurrentLimit | MaskPhotodiodePowerLimit |
                              MaskOutOfTolerance | MaskTecOff | MaskTecTLimit);
    mask |= m_currentLimit->isChecked() ? MaskCurrentLimit : 0;
    mask |= m_photodiodeCurrentLimit->isChecked() ? MaskPhotodiodeCurrentLimit : 0;
    mask |= m_photodiodePowerLimit->isChecked() ? MaskPhotodiodePowerLimit : 0;
    mask |= m_outOfTolerance->isChecked() ? MaskOutOfTolerance : 0;
    mask |= m_tecOff->isChecked() ? MaskTecOff : 0;
    mask |= m_tecTLimit->isChecked() ? MaskTecTLimit : 0;
    return mask;
}

void CLaserSettingsDlg::Write(std::function<void(bool)> done)
{
    CLaser* laser = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!laser || !link)
    {
        done(false);
        return;
    }
    CWriteSequence<CLaser> writes;
    AddWrites(writes);
    m_writing = true;
    setEnabled(false);
    writes.Run(this, laser, m_access.Session(), link,
               [this, done = std::move(done)](const QString& refused)
               {
                   m_writing = false;
                   setEnabled(true);
                   if (!refused.isEmpty())
                       m_context.prompter.Message(this, CWriteSequence<CLaser>::RefusalText(refused));
                   done(refused.isEmpty());
               });
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
    if (const int mask = BuildMask(); mask != m_maskRead)
        writes.Add(
            "output-off conditions", [mask](CLaser& laser) { return laser.SetOutputOffEnable(mask); },
            [this, mask] { m_maskRead = mask; });
    const auto taken = [this](std::initializer_list<EField> fields)
    {
        std::vector<EField> list(fields);
        return [this, list]
        {
            for (EField field : list)
            {
                SField& f = m_fields[field];
                f.read = f.entered;
                f.shown = f.edit->text().trimmed();
            }
        };
    };
    const auto add = [&](EField field, const char* name, bool (CLaser::*set)(double))
    {
        if (m_fields[field].Changed())
            writes.Add(
                name, [set, v = m_fields[field].entered](CLaser& laser) { return (laser.*set)(v); },
                taken({field}));
    };
    const bool power = m_fields[PdResponse].entered != 0.0;
    add(PdResponse, "photodiode response", &CLaser::SetCalMD);
    add(LdiLimit, "current limit", &CLaser::SetLDILimit);
    add(MdiLimit, "photodiode current limit", &CLaser::SetMDILimit);
    if (power)
        add(MdpLimit, "power limit", &CLaser::SetMDPLimit);
    add(LdvLimit, "voltage limit", &CLaser::SetLDVLimit);
    if (m_hasCableR)
        add(CableR, "cable resistance", &CLaser::SetCableR);
    if (m_hasPdBias)
        add(PdBias, "photodiode bias", &CLaser::SetPDBias);
    if (m_fields[TolIo].Changed() || m_fields[TolTime].Changed())
        writes.Add(
            "tolerance",
            [io = m_fields[TolIo].entered, time = m_fields[TolTime].entered](CLaser& laser)
            { return laser.SetTolerance(io, time); },
            taken({TolIo, TolTime}));
    if (m_fields[OnDelay].Changed())
        writes.Add(
            "output-on delay",
            [ms = static_cast<int>(m_fields[OnDelay].entered)](CLaser& laser)
            { return laser.SetOnDelay(ms); },
            taken({OnDelay}));
}
