#include "ui/dialogs/QCWParametersDlg.h"

#include "instrument/session/InstrBase.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/PollPause.h"
#include "ui/widgets/LocaleNumber.h"
#include "ui/widgets/ReadingState.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace
{
struct SScale
{
    double scale; // slider position = value × scale
    int decimals;
};

// Indexed by EValue; the pulse count's slider is logarithmic instead.
constexpr SScale kScales[CQCWParametersDlg::ValueCount] = {{1000.0, 3}, {10.0, 1}, {10.0, 1},
                                                           {1e6, 6},    {1e6, 6},  {100.0, 0}};

double Field(const CLaser::SPulseTiming& timing, CQCWParametersDlg::EValue which)
{
    switch (which)
    {
    case CQCWParametersDlg::PulseWidth:
        return timing.pulseWidth;
    case CQCWParametersDlg::Frequency:
        return timing.frequency;
    case CQCWParametersDlg::DutyCycle:
        return timing.dutyCycle;
    case CQCWParametersDlg::DelayIn:
        return timing.delayIn;
    case CQCWParametersDlg::DelayOut:
        return timing.delayOut;
    default:
        return 0.0;
    }
}

} // namespace

const QString CQCWParametersDlg::BoundsUnreadableMessage =
    "The pulse timing bounds could not be read from the instrument.";

CQCWParametersDlg::CQCWParametersDlg(const SUiContext& context, SLaserChannelAccess access, QWidget* parent)
    : QDialog(parent), m_context(context), m_access(std::move(access))
{
    setObjectName("qcwParametersDialog");
    setWindowTitle("QCW Parameters");
    BuildControls();
    connect(&m_lossTimer, &QTimer::timeout, this, &CQCWParametersDlg::OnLossCheck);
    connect(this, &QDialog::finished, &m_lossTimer, &QTimer::stop);
}

void CQCWParametersDlg::AddRow(int row, EValue which, const QString& label, const QString& unit,
                               const char* name)
{
    auto* grid = static_cast<QGridLayout*>(layout()->itemAt(0)->layout());
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString(name) + "Edit");
    edit->setAlignment(Qt::AlignRight);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("0000.000000") + 12);
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(QString(name) + "Slider");
    slider->setMinimumWidth(220);
    auto* labelWidget = new QLabel(label, this);
    labelWidget->setBuddy(edit);
    auto* unitWidget = new QLabel(unit, this);
    grid->addWidget(labelWidget, row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(unitWidget, row, 2);
    grid->addWidget(slider, row, 3);
    m_edits[which] = edit;
    m_sliders[which] = slider;
    m_labels[which] = {labelWidget, unitWidget};
    connect(edit, &QLineEdit::textEdited, this, [this, which] { OnEdited(which); });
    connect(edit, &QLineEdit::editingFinished, this, [this, which] { OnEditFinished(which); });
    connect(slider, &QSlider::valueChanged, this, [this, which] { OnSliderMoved(which); });
}

void CQCWParametersDlg::BuildControls()
{
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setColumnStretch(3, 1);
    root->addLayout(grid);
    AddRow(0, PulseWidth, "Pulse Width:", "ms", "pulseWidth");
    AddRow(1, Frequency, "Frequency:", "Hz", "frequency");
    AddRow(2, DutyCycle, "Duty Cycle:", "%", "dutyCycle");
    AddRow(3, DelayIn, "Delay In:", "sec", "delayIn");
    AddRow(4, DelayOut, "Delay Out:", "sec", "delayOut");
    AddRow(5, PulseCount, "Number of Pulses:", QString(), "pulseCount");

    auto* holdRow = new QHBoxLayout;
    m_holdFrequencyRadio = new QRadioButton("Hold Frequency", this);
    m_holdFrequencyRadio->setObjectName("holdFrequencyRadio");
    m_holdDutyRadio = new QRadioButton("Hold Duty Cycle", this);
    m_holdDutyRadio->setObjectName("holdDutyCycleRadio");
    auto* holdGroup = new QButtonGroup(this);
    holdGroup->addButton(m_holdFrequencyRadio);
    holdGroup->addButton(m_holdDutyRadio);
    m_holdFrequencyRadio->setChecked(true);
    holdRow->addWidget(m_holdFrequencyRadio);
    holdRow->addWidget(m_holdDutyRadio);
    holdRow->addStretch(1);
    root->addLayout(holdRow);
    connect(m_holdFrequencyRadio, &QRadioButton::toggled, this, &CQCWParametersDlg::OnHoldChanged);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    m_okButton = buttons->button(QDialogButtonBox::Ok);
    m_okButton->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    m_applyButton = buttons->button(QDialogButtonBox::Apply);
    m_applyButton->setObjectName("applyButton");
    auto* bottom = new QHBoxLayout;
    m_busyLabel = new QLabel(ReadingText, this);
    m_busyLabel->setObjectName("readingLabel");
    m_busyLabel->hide();
    bottom->addWidget(m_busyLabel);
    bottom->addWidget(buttons, 1);
    root->addLayout(bottom);
    connect(m_okButton, &QPushButton::clicked, this, &CQCWParametersDlg::OnOk);
    connect(m_applyButton, &QPushButton::clicked, this, &CQCWParametersDlg::OnApply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool CQCWParametersDlg::Load()
{
    const bool posted = ReadPaused(
        m_access, this, [fallback = m_values](CLaser& laser) { return Read(laser, fallback); },
        [this](const SReading& reading)
        {
            if (!reading.boundsRead)
            {
                m_context.prompter.Message(this, BoundsUnreadableMessage);
                done(LostResult);
                return;
            }
            m_minima = reading.minima;
            m_maxima = reading.maxima;
            m_pulsed = reading.mode == LaserModePulse || reading.mode == LaserModeBurst;
            m_burst = reading.mode == LaserModeBurst;
            m_loaded = true;
            ShowBusy({});
            ShowReading(reading);
            emit loaded();
        });
    if (!posted)
        return false;
    m_loaded = false;
    ShowBusy(ReadingText);
    m_lossTimer.start(LossCheckMs);
    return true;
}

int CQCWParametersDlg::exec()
{
    if (!Load())
        return LostResult;
    return QDialog::exec();
}

CQCWParametersDlg::SReading CQCWParametersDlg::Read(CLaser& laser, const Values& fallback)
{
    SReading reading;
    reading.mode = laser.GetMode(false);
    reading.boundsRead = laser.GetPulseMinima(reading.minima) && laser.GetPulseMaxima(reading.maxima);
    if (!reading.boundsRead)
        return reading;
    reading.values = fallback;
    const auto keep = [&reading](EValue which, double value)
    {
        // A value the unit did not give keeps what the dialog had. The others are taken as the edit
        // shows them (the channel's floats carry noise below the shown decimals).
        if (!ReadingState::IsNoValue(value))
        {
            const double step = std::pow(10.0, kScales[which].decimals);
            reading.values[which] = std::round(value * step) / step;
        }
    };
    keep(PulseWidth, laser.GetPulseWidth(true));
    keep(Frequency, laser.GetFrequency(true));
    keep(DutyCycle, laser.GetDutyCycle());
    keep(DelayIn, laser.GetDelayIn());
    keep(DelayOut, laser.GetDelayOut());
    reading.values[PulseCount] = laser.GetQCWCount();
    reading.holdFrequency = !laser.GetQCWHold();
    return reading;
}

void CQCWParametersDlg::ShowReading(const SReading& reading)
{
    m_values = reading.values;
    m_holdFrequency = reading.holdFrequency;
    m_last = m_values;
    m_lastHoldFrequency = m_holdFrequency;
    m_updating = true;
    SetSliderRanges();
    m_holdFrequencyRadio->setChecked(m_holdFrequency);
    m_holdDutyRadio->setChecked(!m_holdFrequency);
    ShowValues();
    m_updating = false;
    ApplyModeLayout();
    UpdateFlags();
    m_applyButton->setEnabled(false);
}

void CQCWParametersDlg::ShowBusy(const QString& doing)
{
    const bool busy = !doing.isEmpty();
    m_writing = doing == WritingText;
    m_busyLabel->setText(doing);
    m_busyLabel->setVisible(busy);
    for (int i = 0; i < ValueCount; ++i)
    {
        m_edits[i]->setEnabled(!busy);
        m_sliders[i]->setEnabled(!busy);
    }
    m_holdFrequencyRadio->setEnabled(!busy);
    m_holdDutyRadio->setEnabled(!busy);
    m_okButton->setEnabled(!busy);
    if (busy)
        m_applyButton->setEnabled(false);
}

void CQCWParametersDlg::SetSliderRanges()
{
    for (int i = 0; i < PulseCount; ++i)
    {
        const auto which = static_cast<EValue>(i);
        const bool delay = which == DelayIn || which == DelayOut;
        const double low = Minimum(which) * kScales[i].scale;
        const double high = Maximum(which) * kScales[i].scale;
        m_sliders[i]->setRange(static_cast<int>(delay ? std::lround(low) : std::trunc(low)),
                               static_cast<int>(delay ? std::lround(high) : std::trunc(high)));
    }
    m_sliders[PulseCount]->setRange(static_cast<int>(100.0 * std::log10(1.0)),
                                    static_cast<int>(100.0 * std::log10(double(MaxPulseCount))));
}

double CQCWParametersDlg::Minimum(EValue which) const
{
    return which == PulseCount ? 1.0 : Field(m_minima, which);
}

double CQCWParametersDlg::Maximum(EValue which) const
{
    return which == PulseCount ? MaxPulseCount : Field(m_maxima, which);
}

double CQCWParametersDlg::Clamp(EValue which, double value) const
{
    return std::clamp(value, Minimum(which), Maximum(which));
}

bool CQCWParametersDlg::InRange(EValue which) const
{
    const double value = m_values[which];
    return value >= Minimum(which) && value <= Maximum(which);
}

int CQCWParametersDlg::SliderPosition(EValue which, double value) const
{
    if (which == PulseCount)
        return static_cast<int>(100.0 * std::log10(std::max(value, 1.0)));
    return static_cast<int>(std::trunc(value * kScales[which].scale));
}

double CQCWParametersDlg::SliderValue(EValue which, int position) const
{
    if (which == PulseCount)
        return std::trunc(std::pow(10.0, position / 100.0));
    return position / kScales[which].scale;
}

void CQCWParametersDlg::ShowValue(EValue which)
{
    const bool updating = m_updating;
    m_updating = true;
    m_edits[which]->setText(which == PulseCount
                                ? QString::number(static_cast<int>(m_values[which]))
                                : LocaleNumber::Trimmed(m_values[which], kScales[which].decimals));
    m_sliders[which]->setValue(SliderPosition(which, m_values[which]));
    m_unparsable[which] = false;
    m_updating = updating;
}

void CQCWParametersDlg::ShowValues()
{
    for (int i = 0; i < ValueCount; ++i)
        ShowValue(static_cast<EValue>(i));
}

void CQCWParametersDlg::ApplyModeLayout()
{
    const auto showRow = [this](EValue which, bool shown)
    {
        m_edits[which]->setVisible(shown);
        m_sliders[which]->setVisible(shown);
        for (QWidget* widget : m_labels[which])
            widget->setVisible(shown);
    };
    showRow(Frequency, m_pulsed);
    showRow(DutyCycle, m_pulsed);
    showRow(DelayIn, !m_pulsed);
    showRow(PulseCount, m_burst);
    m_holdFrequencyRadio->setVisible(m_pulsed);
    m_holdDutyRadio->setVisible(m_pulsed);
    m_edits[DutyCycle]->setEnabled(m_pulsed && !m_holdFrequency);
    m_sliders[DutyCycle]->setEnabled(m_pulsed && !m_holdFrequency);
    m_edits[Frequency]->setEnabled(m_pulsed && m_holdFrequency);
    m_sliders[Frequency]->setEnabled(m_pulsed && m_holdFrequency);
}

void CQCWParametersDlg::OnHoldChanged()
{
    if (m_updating)
        return;
    m_holdFrequency = m_holdFrequencyRadio->isChecked();
    ApplyModeLayout();
    m_applyButton->setEnabled(true);
    UpdateFlags();
}

void CQCWParametersDlg::OnEdited(EValue which)
{
    if (m_updating)
        return;
    m_updating = true;
    const std::optional<double> typed = LocaleNumber::Parse(m_edits[which]->text());
    m_unparsable[which] = !typed || !std::isfinite(*typed);
    m_pendingCoupling = ValueCount;
    if (!m_unparsable[which])
    {
        m_values[which] = which == PulseCount ? std::trunc(*typed) : *typed;
        m_sliders[which]->setValue(SliderPosition(which, m_values[which]));
        // Coupling that would move the value being typed (the first digit "5" of "500" Hz, clamped to
        // 10 Hz) waits until the edit is finished, so the text under the cursor is never rewritten;
        // meanwhile the edit counts as out of range.
        const Values coupled = Coupled(which, m_values);
        if (coupled[which] != m_values[which])
            m_pendingCoupling = which;
        else
            ApplyCoupled(coupled);
    }
    m_updating = false;
    m_applyButton->setEnabled(true);
    UpdateFlags();
}

void CQCWParametersDlg::OnSliderMoved(EValue which)
{
    if (m_updating)
        return;
    m_updating = true;
    m_values[which] = SliderValue(which, m_sliders[which]->value());
    m_edits[which]->setText(which == PulseCount
                                ? QString::number(static_cast<int>(m_values[which]))
                                : LocaleNumber::Trimmed(m_values[which], kScales[which].decimals));
    m_unparsable[which] = false;
    m_pendingCoupling = ValueCount;
    ApplyCoupled(Coupled(which, m_values));
    m_updating = false;
    m_applyButton->setEnabled(true);
    UpdateFlags();
}

std::array<double, CQCWParametersDlg::ValueCount> CQCWParametersDlg::Coupled(EValue changed,
                                                                             Values values) const
{
    if (!m_pulsed || (changed != PulseWidth && changed != Frequency && changed != DutyCycle))
        return values;
    double& width = values[PulseWidth];
    double& frequency = values[Frequency];
    double& duty = values[DutyCycle];
    if (width <= 0.0 || frequency <= 0.0)
        return values;
    const auto in = [&](EValue which)
    { return values[which] >= Minimum(which) && values[which] <= Maximum(which); };
    const auto dutyFromWidth = [&] { duty = width * frequency / 10.0; };
    const auto frequencyFromDuty = [&] { frequency = duty * 10.0 / width; };
    const auto widthFromBoth = [&] { width = duty * 10.0 / frequency; };
    if (changed == PulseWidth && !m_holdFrequency)
    {
        frequencyFromDuty();
        if (!in(Frequency))
        {
            frequency = Clamp(Frequency, frequency);
            dutyFromWidth();
            if (!in(DutyCycle))
            {
                duty = Clamp(DutyCycle, duty);
                widthFromBoth();
            }
        }
    }
    else if (changed == PulseWidth)
    {
        dutyFromWidth();
        if (!in(DutyCycle))
        {
            duty = Clamp(DutyCycle, duty);
            frequencyFromDuty();
            if (!in(Frequency))
            {
                frequency = Clamp(Frequency, frequency);
                widthFromBoth();
            }
        }
    }
    else if (changed == Frequency)
    {
        dutyFromWidth();
        if (!in(DutyCycle))
        {
            duty = Clamp(DutyCycle, duty);
            frequencyFromDuty();
        }
    }
    else
    {
        frequencyFromDuty();
        if (!in(Frequency))
        {
            frequency = Clamp(Frequency, frequency);
            dutyFromWidth();
        }
    }
    return values;
}

void CQCWParametersDlg::ApplyCoupled(const Values& values)
{
    const Values before = m_values;
    m_values = values;
    // Rewrite what the coupling changed.
    for (EValue which : {PulseWidth, Frequency, DutyCycle})
        if (m_values[which] != before[which])
            ShowValue(which);
}

void CQCWParametersDlg::OnEditFinished(EValue which)
{
    if (m_updating || m_pendingCoupling != which)
        return;
    m_pendingCoupling = ValueCount;
    m_updating = true;
    ApplyCoupled(Coupled(which, m_values));
    m_updating = false;
    UpdateFlags();
}

void CQCWParametersDlg::UpdateFlags()
{
    std::array<bool, ValueCount> flags{};
    flags[PulseWidth] = !InRange(PulseWidth);
    if (m_pulsed)
    {
        flags[DutyCycle] = !InRange(DutyCycle);
        flags[Frequency] = !InRange(Frequency);
    }
    // Delay out must end within 90 % of the period.
    double ceiling = Maximum(DelayOut);
    if (m_values[Frequency] > 0.0)
        ceiling = std::min(0.9 / m_values[Frequency], ceiling);
    flags[DelayOut] = m_values[DelayOut] < Minimum(DelayOut) || m_values[DelayOut] > ceiling;
    flags[DelayIn] = !m_pulsed && !InRange(DelayIn);
    flags[PulseCount] = m_burst && !InRange(PulseCount);
    for (int i = 0; i < ValueCount; ++i)
        flags[i] = flags[i] || (!m_edits[i]->isHidden() && m_unparsable[i]) || m_pendingCoupling == i;

    bool any = false;
    for (int i = 0; i < ValueCount; ++i)
    {
        any = any || flags[i];
        if (flags[i] == m_outOfRange[i])
            continue;
        m_outOfRange[i] = flags[i];
        m_edits[i]->setStyleSheet(flags[i] ? "QLineEdit { background-color: rgb(255, 0, 0); }" : QString());
        if (flags[i])
            m_context.prompter.Beep();
    }
    m_okButton->setEnabled(!any);
    m_applyButton->setEnabled(!any && m_applyButton->isEnabled());
}

void CQCWParametersDlg::OnOk()
{
    if (!m_okButton->isEnabled() || !m_loaded || m_writing)
        return;
    if (!m_access.Peek())
    {
        done(LostResult);
        return;
    }
    Write(false);
}

void CQCWParametersDlg::OnApply()
{
    if (!m_okButton->isEnabled() || !m_loaded || m_writing)
        return;
    if (!m_access.Peek())
    {
        done(LostResult);
        return;
    }
    Write(true);
}

// The changes go out in one group with polling paused; Apply reads the values back in the same group
// and keeps the dialog open, OK closes it.
void CQCWParametersDlg::Write(bool readBack)
{
    CLaser* laser = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!laser || !link)
    {
        done(LostResult);
        return;
    }
    const SChange change{m_values, m_last, m_pulsed, m_holdFrequency, m_lastHoldFrequency};
    ShowBusy(WritingText);
    link.Call(
        this,
        [laser, session = m_access.Session(), change, readBack]
        {
            session->HoldPause(CPollPause::TimeoutMs);
            SendChange(*laser, change);
            SReading reading;
            if (readBack)
                reading = Read(*laser, change.values);
            session->ReleasePause();
            return reading;
        },
        [this, change, readBack](const SReading& reading)
        {
            m_last = change.values;
            m_lastHoldFrequency = change.holdFrequency;
            ShowBusy({});
            if (!readBack)
            {
                accept();
                return;
            }
            if (reading.boundsRead)
            {
                m_minima = reading.minima;
                m_maxima = reading.maxima;
                ShowReading(reading);
            }
            else
            {
                // The busy look enabled every row: the mode and the hold rule say which are editable.
                ApplyModeLayout();
                UpdateFlags();
                m_applyButton->setEnabled(false);
            }
        });
}

void CQCWParametersDlg::SendChange(CLaser& laser, const SChange& change)
{
    const Values& values = change.values;
    const Values& last = change.last;
    const auto changed = [&](EValue which) { return values[which] != last[which]; };
    const auto delays = [&](bool shrinking)
    {
        for (EValue which : {DelayIn, DelayOut})
        {
            if ((which == DelayIn && change.pulsed) || !changed(which) ||
                (values[which] < last[which]) != shrinking)
                continue;
            if (which == DelayIn)
                laser.SetDelayIn(values[which]);
            else
                laser.SetDelayOut(values[which]);
        }
    };
    // Shrinking delays before the pulse width, growing ones after, and a width that could clash with
    // the old frequency or duty first moved to an edge value valid for both.
    delays(true);
    const double width = values[PulseWidth];
    const bool grows = width > last[PulseWidth];
    const bool both = changed(Frequency) && changed(PulseWidth);
    if (!change.pulsed)
    {
        if (changed(PulseWidth))
            laser.SetPulseWidthF(width);
    }
    else if (!change.holdFrequency)
    {
        const double oldDuty = last[DutyCycle];
        if (both)
            laser.SetPulseWidthP(grows ? (oldDuty / 1.2) * 10.0 - 0.001 : (oldDuty / 999.0) * 10.0 + 0.001);
        if (changed(DutyCycle))
            laser.SetDutyCycle(values[DutyCycle]);
        if (changed(PulseWidth))
            laser.SetPulseWidthP(width);
    }
    else
    {
        const double oldFrequency = last[Frequency];
        if (both && oldFrequency > 0.0)
            laser.SetPulseWidthF(grows ? (89.9 / oldFrequency) * 10.0 - 0.001
                                       : (0.11 / oldFrequency) * 10.0 + 0.001);
        if (changed(Frequency))
            laser.SetFrequency(values[Frequency]);
        if (changed(PulseWidth))
            laser.SetPulseWidthF(width);
    }
    delays(false);
    if (changed(PulseCount))
        laser.SetQCWCount(static_cast<int>(values[PulseCount]));
    if (change.holdFrequency != change.lastHoldFrequency)
        laser.SetQCWHold(!change.holdFrequency);
}

void CQCWParametersDlg::OnLossCheck()
{
    if (!m_access.Peek())
        done(LostResult);
}
