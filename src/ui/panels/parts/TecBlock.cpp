#include "ui/panels/parts/TecBlock.h"

#include "instrument/tec/TEC.h"
#include "instrument/tec/TecTypes.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/AutoTuneWizard.h"
#include "ui/dialogs/TECSettingsDlg.h"
#include "ui/widgets/DeliberateButtons.h"
#include "ui/widgets/LocaleNumber.h"
#include "ui/widgets/ReadingState.h"
#include "ui/widgets/SetPointEdit.h"
#include "ui/widgets/SetPointRefusal.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

namespace
{
const QString Degrees = QString::fromUtf8("\u00b0C");
const QString Unknown = "---";
const QString SetPointSuffix = " set point";

// Feature codes a model may lock: every mode, one mode, the set point of one mode.
constexpr uint32_t LockAllModes = 0xF0001240;
constexpr uint32_t LockModeT = 0xF0001280;
constexpr uint32_t LockModeR = 0xF0001301;
constexpr uint32_t LockModeITE = 0xF0001302;
constexpr uint32_t LockSetPointT = 0xF0001008;
constexpr uint32_t LockSetPointR = 0xF0001010;
constexpr uint32_t LockSetPointITE = 0xF0001004;

// Condition bits that say the sensor input is open or shorted, and whether T is within the tolerance.
constexpr int CondSensorOpen = 0x40;
constexpr int CondOutOfTolerance = 0x200;
constexpr int CondSensorShort = 0x400;
constexpr int CondInTolerance = 0x800;
// Auxiliary sensors at or below this read as switched off.
constexpr float AuxDisabled = -998.0f;

QFont Sized(const QFont& base, int pixels, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* ReadingField(const QString& name, const QFont& font, QWidget* parent)
{
    auto* field = new QLabel(parent);
    field->setObjectName(name);
    field->setFont(font);
    field->setFrameShape(QFrame::Panel);
    field->setFrameShadow(QFrame::Sunken);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const QFontMetrics metrics(font);
    field->setMinimumWidth(metrics.horizontalAdvance("-0000.000") + 8);
    field->setMinimumHeight(metrics.height() + 6);
    return field;
}

// Exclusive radio buttons cannot be unchecked one by one.
void Uncheck(std::initializer_list<QRadioButton*> buttons)
{
    for (QRadioButton* button : buttons)
        button->setAutoExclusive(false);
    for (QRadioButton* button : buttons)
        button->setChecked(false);
    for (QRadioButton* button : buttons)
        button->setAutoExclusive(true);
}

const QString LimitsUnknownMessage = "The TEC's limits could not be read, so the set point was not sent.";

// The bounds carry the set point's unit ("between -10 and 80 °C").
QString RangeMessage(int mode, double low, double high, const QString& unit)
{
    const QString text =
        mode == TecModeT
            ? "Temperature set point exceeds the limits, please enter a value between %1 and %2 %3."
        : mode == TecModeR
            ? "Sensor set point exceeds the limits, please enter a value between %1 and %2 %3."
            : "Current set point exceeds the limits, please enter a value between %1 and %2 %3.";
    return text.arg(LocaleNumber::Bound(low), LocaleNumber::Bound(high), unit);
}
} // namespace

CTecBlock::CTecBlock(const SUiContext& context, STecChannelAccess access, QWidget* parent)
    : CTecBlock(context, std::move(access), SOptions{}, parent)
{
}

CTecBlock::CTecBlock(const SUiContext& context, STecChannelAccess access, const SOptions& options,
                     QWidget* parent)
    : QWidget(parent), m_context(context), m_access(std::move(access))
{
    Build(options);
    UpdateControls(false);
}

void CTecBlock::Build(const SOptions& options)
{
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(BuildReadings());
    column->addWidget(BuildSetPoint(options.setPointTitle));
    column->addWidget(BuildOutputAndMode(options.outputTitle));
    QWidget* aux = BuildAuxRows();
    column->addWidget(aux);
    aux->setVisible(false);
    if (!options.auxSensors)
        m_auxBox = nullptr;
    QWidget* buttons = BuildButtons(options.openSettings);
    column->addWidget(buttons);
    buttons->setVisible(options.settingsButton);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    if (options.title.isEmpty())
    {
        outer->addLayout(column);
        return;
    }
    auto* group = new QGroupBox(options.title, this);
    group->setObjectName("tecBlockGroup");
    group->setLayout(column);
    outer->addWidget(group);
}

QWidget* CTecBlock::BuildReadings()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    const QFont big = Sized(font(), 24, true);
    const QFont label = Sized(font(), 16, true);
    auto addRow = [&](int row, const QString& caption, const QString& name, const QString& unit)
    {
        auto* captionLabel = new QLabel(caption, box);
        captionLabel->setFont(label);
        captionLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QLabel* field = ReadingField(name, big, box);
        auto* unitLabel = new QLabel(unit, box);
        unitLabel->setFont(label);
        unitLabel->setObjectName(name + "Unit");
        unitLabel->setMinimumWidth(QFontMetrics(label).horizontalAdvance("kΩ") + 4);
        grid->addWidget(captionLabel, row, 0);
        grid->addWidget(field, row, 1);
        grid->addWidget(unitLabel, row, 2);
        return std::pair{field, unitLabel};
    };
    m_tField = addRow(0, "T =", "tField", Degrees).first;
    std::tie(m_rField, m_rUnit) = addRow(1, "R =", "rField", QString());
    m_iteField = addRow(2, "ITE =", "iteField", "A").first;
    m_vteField = addRow(3, "VTE =", "vteField", "V").first;
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* CTecBlock::BuildSetPoint(const QString& title)
{
    auto* group = new QGroupBox(title, this);
    group->setObjectName("setPointGroup");
    m_setPointGroup = group;
    auto* row = new QHBoxLayout(group);
    m_setPointEdit = new CSetPointEdit(group);
    m_setPointEdit->setObjectName("setPointEdit");
    m_setPointEdit->setFont(Sized(font(), 24, true));
    m_setPointEdit->setAlignment(Qt::AlignRight);
    m_setPointEdit->setMinimumWidth(QFontMetrics(m_setPointEdit->font()).horizontalAdvance("-0000.000") + 12);
    m_setPointUnit = new QLabel(group);
    m_setPointUnit->setObjectName("setPointUnit");
    m_setPointUnit->setFont(Sized(font(), 16, true));
    m_setPointUnit->setMinimumWidth(QFontMetrics(m_setPointUnit->font()).horizontalAdvance("kΩ") + 4);
    m_setButton = new QPushButton("Set", group);
    m_setButton->setObjectName("setButton");
    m_setButton->setFont(Sized(font(), 18, true));
    row->addWidget(m_setPointEdit, 1);
    row->addWidget(m_setPointUnit);
    row->addWidget(m_setButton);
    connect(m_setButton, &QPushButton::clicked, this, &CTecBlock::OnSetPoint);
    connect(m_setPointEdit, &QLineEdit::textEdited, this, &CTecBlock::CompareSetPoint);
    m_setPointEdit->installEventFilter(this);
    return group;
}

QWidget* CTecBlock::BuildOutputAndMode(const QString& outputTitle)
{
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    const QFont label = Sized(font(), 15, true);

    auto* output = new QGroupBox(outputTitle, box);
    auto* outputGrid = new QGridLayout(output);
    m_onButton = new QRadioButton("On", output);
    m_onButton->setObjectName("onButton");
    m_offButton = new QRadioButton("Off", output);
    m_offButton->setObjectName("offButton");
    auto* mode = new QGroupBox("Mode", box);
    auto* modeRow = new QHBoxLayout(mode);
    m_tModeButton = new QRadioButton("T", mode);
    m_tModeButton->setObjectName("tModeButton");
    m_rModeButton = new QRadioButton("R", mode);
    m_rModeButton->setObjectName("rModeButton");
    m_iteModeButton = new QRadioButton("ITE", mode);
    m_iteModeButton->setObjectName("iteModeButton");
    for (QRadioButton* button : {m_onButton, m_offButton})
        button->setFont(label);
    outputGrid->addWidget(m_onButton, 0, 0);
    outputGrid->addWidget(m_offButton, 0, 1);
    // The state at a glance: output on or off and, while on, whether T is within the tolerance.
    m_stateBadge = new QLabel(output);
    m_stateBadge->setObjectName("tecStateBadge");
    m_stateBadge->setFont(Sized(font(), 14, true));
    m_stateBadge->setAlignment(Qt::AlignCenter);
    m_stateBadge->setMinimumWidth(QFontMetrics(m_stateBadge->font()).horizontalAdvance("ON  OUT OF TOL") +
                                  12);
    QSizePolicy keepRoom(QSizePolicy::Preferred, QSizePolicy::Fixed);
    keepRoom.setRetainSizeWhenHidden(true);
    m_stateBadge->setSizePolicy(keepRoom);
    m_stateBadge->hide();
    outputGrid->addWidget(m_stateBadge, 1, 0, 1, 2);
    for (QRadioButton* button : {m_tModeButton, m_rModeButton, m_iteModeButton})
    {
        button->setFont(label);
        modeRow->addWidget(button);
    }
    row->addWidget(output);
    row->addWidget(mode, 1);

    // The buttons show the instrument's state; a click asks for a change, the next refresh shows it.
    new CDeliberateButtons({m_onButton, m_offButton}, this);
    new CDeliberateButtons({m_tModeButton, m_rModeButton, m_iteModeButton}, this);
    connect(m_onButton, &QRadioButton::clicked, this, [this] { SendOutput(true); });
    connect(m_offButton, &QRadioButton::clicked, this, [this] { SendOutput(false); });
    connect(m_tModeButton, &QRadioButton::clicked, this, [this] { SendMode(TecModeT); });
    connect(m_rModeButton, &QRadioButton::clicked, this, [this] { SendMode(TecModeR); });
    connect(m_iteModeButton, &QRadioButton::clicked, this, [this] { SendMode(TecModeITE); });
    return box;
}

QWidget* CTecBlock::BuildAuxRows()
{
    m_auxBox = new QWidget(this);
    auto* grid = new QGridLayout(m_auxBox);
    grid->setContentsMargins(0, 0, 0, 0);
    const QFont label = Sized(font(), 14, true);
    const QStringList captions = {QString(), QString(), "Ax 1=", "Ax 2=", "Ax 3=", "Ax 4="};
    for (int i = 0; i < AuxRows; ++i)
    {
        m_auxLabels[i] = new QLabel(captions[i], m_auxBox);
        m_auxLabels[i]->setObjectName(QString("auxLabel%1").arg(i + 1));
        m_auxLabels[i]->setFont(label);
        m_auxValues[i] = new QLabel(m_auxBox);
        m_auxValues[i]->setObjectName(QString("auxValue%1").arg(i + 1));
        m_auxValues[i]->setFont(label);
        m_auxValues[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_auxValues[i]->setMinimumWidth(QFontMetrics(label).horizontalAdvance("Disabled") + 6);
        auto* unit = new QLabel(Degrees, m_auxBox);
        unit->setFont(label);
        // Two rows a line: 1 2 / 3 4 / 5 6.
        const int line = i / 2;
        const int column = (i % 2) * 3;
        grid->addWidget(m_auxLabels[i], line, column);
        grid->addWidget(m_auxValues[i], line, column + 1);
        grid->addWidget(unit, line, column + 2);
        m_auxValues[i]->setProperty("unitLabel", QVariant::fromValue<QObject*>(unit));
    }
    return m_auxBox;
}

QWidget* CTecBlock::BuildButtons(const std::function<void()>& openSettings)
{
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    m_settingsButton = new QPushButton("TEC Settings...", box);
    m_settingsButton->setObjectName("tecSettingsButton");
    m_autoTuneButton = new QPushButton("AutoTune...", box);
    m_autoTuneButton->setObjectName("autoTuneButton");
    m_autoTuneButton->hide();
    row->addWidget(m_settingsButton);
    row->addWidget(m_autoTuneButton);
    row->addStretch(1);
    if (openSettings)
        connect(m_settingsButton, &QPushButton::clicked, this, openSettings);
    else
        connect(m_settingsButton, &QPushButton::clicked, this, &CTecBlock::OpenSettings);
    connect(m_autoTuneButton, &QPushButton::clicked, this, &CTecBlock::OpenAutoTune);
    return box;
}

CTEC* CTecBlock::Channel() const
{
    return m_access.channel ? m_access.channel() : nullptr;
}

void CTecBlock::Refresh(bool forced)
{
    CTEC* tec = m_access.Selected();
    if (!tec)
        return;
    // Fields emptied on a tick without a refresh come back in full, whatever the flag did meanwhile.
    forced = forced || m_readingsCleared;
    m_readingsCleared = false;
    ShowReadings(*tec, forced);
    RefreshSetPoint(*tec, forced);
    if (m_mode == TecModeT)
        m_setPointEdit->setReadOnly(!m_setPointEditable || tec->IsTSetPointLocked());
    RefreshOutput(*tec, forced);
    RefreshMode(*tec, forced);
    RefreshSensorType(*tec, forced);
    ShowAuxSensors(*tec);
    ShowState(*tec);
    CollectTrend(*tec);
}

CTecBlock::EState CTecBlock::State(CTEC& tec) const
{
    if (!m_output)
        return EState::Off;
    // The unit's own verdict where its condition register gives one.
    if (tec.IsFresh(TecReading::Condition))
    {
        const int condition = tec.GetCondition();
        if (condition & CondInTolerance)
            return EState::InTolerance;
        if (condition & CondOutOfTolerance)
            return EState::OutOfTolerance;
    }
    // Else from the tolerance read at connect and the temperature against its set point.
    const float t = tec.GetT();
    if (m_mode != TecModeT || !m_toleranceKnown || !m_setPointKnown ||
        !ReadingState::IsKnown(t, tec.IsFresh(TecReading::T)))
        return EState::On;
    return std::fabs(t - m_setPoint) <= m_tolerance ? EState::InTolerance : EState::OutOfTolerance;
}

void CTecBlock::ShowState(CTEC& tec)
{
    struct SLook
    {
        const char* text;
        const char* style;
    };
    static const SLook looks[] = {
        {"OFF", "color: white; background-color: rgb(120, 120, 120);"},
        {"ON", "color: white; background-color: rgb(0, 90, 170);"},
        {"ON  IN TOL", "color: white; background-color: rgb(0, 130, 0);"},
        {"ON  OUT OF TOL", "color: black; background-color: rgb(255, 160, 0);"},
    };
    const EState state = State(tec);
    if (!m_stateBadge->isHidden() && state == m_state)
        return;
    m_state = state;
    const SLook& look = looks[static_cast<int>(state)];
    m_stateBadge->setText(look.text);
    m_stateBadge->setStyleSheet(
        QString("QLabel { %1 border-radius: 3px; padding: 2px 6px; }").arg(look.style));
    m_stateBadge->show();
}

void CTecBlock::ReloadTolerance()
{
    if (CTEC* tec = m_connected ? m_access.Selected() : nullptr)
        ReadTolerance(*tec);
}

void CTecBlock::ReadTolerance(CTEC& tec)
{
    float seconds = 0.0f;
    m_toleranceKnown =
        tec.GetTolerance(m_tolerance, seconds) && std::isfinite(m_tolerance) && m_tolerance >= 0;
}

QString CTecBlock::Known(CTEC& tec, double value, int precision, TecReading reading, int sensor) const
{
    return ReadingState::IsKnown(value, tec.IsFresh(reading, sensor)) ? LocaleNumber::Format(value, precision)
                                                                      : Unknown;
}

void CTecBlock::ShowReadings(CTEC& tec, bool)
{
    m_vteField->setText(Known(tec, tec.GetV(), tec.GetPrecision(TecQuantityV), TecReading::V));
    m_iteField->setText(Known(tec, tec.GetITE(), tec.GetPrecision(TecQuantityITE), TecReading::ITE));
    // A condition the last cycle did not bring says nothing about the sensor now.
    const int condition = tec.IsFresh(TecReading::Condition) ? tec.GetCondition() : 0;
    if (condition & CondSensorOpen)
    {
        m_tField->setText("Open");
        m_rField->setText("Open");
    }
    else if (condition & CondSensorShort)
    {
        m_tField->setText("Short");
        m_rField->setText("Short");
    }
    else
    {
        m_rField->setText(Known(tec, tec.GetR(), tec.GetPrecision(TecQuantityR), TecReading::R));
        m_tField->setText(Known(tec, tec.GetT(), tec.GetPrecision(TecQuantityT), TecReading::T));
    }
}

void CTecBlock::RefreshSetPoint(CTEC& tec, bool forced)
{
    const float setPoint = tec.GetSetPoint();
    if (m_refusal.Hides(setPoint))
    {
        CompareSetPoint();
        return;
    }
    const bool known = ReadingState::IsKnown(tec, setPoint);
    if (forced || setPoint != m_setPoint || known != m_setPointKnown)
    {
        m_setPoint = setPoint;
        m_setPointKnown = known;
        WriteSetPointField();
    }
    CompareSetPoint();
}

void CTecBlock::RefreshOutput(CTEC& tec, bool forced)
{
    const bool output = tec.GetOutput(false);
    if (!forced && output == m_output && (m_onButton->isChecked() || m_offButton->isChecked()))
        return;
    m_output = output;
    QRadioButton* checked = output ? m_onButton : m_offButton;
    QRadioButton* other = output ? m_offButton : m_onButton;
    const bool focusMoves = other->hasFocus();
    checked->setChecked(true);
    if (focusMoves)
        checked->setFocus();
}

void CTecBlock::RefreshMode(CTEC& tec, bool forced)
{
    const int mode = tec.GetMode(false);
    if (!forced && mode == m_mode)
        return;
    const bool changed = mode != m_mode;
    m_mode = mode;
    ShowCheckedButtons();
    m_setPointUnit->setText(SetPointUnit(tec));
    UpdateControls(m_connected);
    // A value typed for the old mode must not go out in the new mode's unit.
    if (changed)
    {
        m_refusal.Clear();
        m_setPoint = tec.GetSetPoint();
        m_setPointKnown = ReadingState::IsKnown(tec, m_setPoint);
        WriteSetPointField();
    }
    CompareSetPoint();
}

void CTecBlock::RefreshSensorType(CTEC& tec, bool forced)
{
    const int type = tec.GetSensorType(false);
    if (!forced && type == m_sensorType)
        return;
    m_sensorType = type;
    m_rUnit->setText(QString::fromStdString(tec.GetRUnits(type)));
    if (m_mode == TecModeR)
        m_setPointUnit->setText(SetPointUnit(tec));
}

std::vector<int> CTecBlock::AuxSensors(CTEC& tec)
{
    const int control = std::clamp(tec.GetActiveSensor(), 0, 2);
    std::vector<int> sensors;
    for (int sensor = 0; sensor < 3; ++sensor)
        if (sensor != control)
            sensors.push_back(sensor);
    for (int sensor = 3; sensor < CTEC::MaxSensors; ++sensor)
        sensors.push_back(sensor);
    return sensors;
}

void CTecBlock::ShowAuxSensors(CTEC& tec)
{
    const int count = tec.GetSensorCount();
    if (!m_auxBox || count <= 1)
        return;
    const std::vector<int> sensors = AuxSensors(tec);
    for (int row = 0; row < AuxRows; ++row)
    {
        if (row < 2)
            m_auxLabels[row]->setText(QString("T%1 =").arg(sensors[row] + 1));
        if (row >= count - 1)
            continue;
        const float value = tec.GetT(false, sensors[row]);
        m_auxValues[row]->setText(
            value <= AuxDisabled && !ReadingState::IsNoValue(value)
                ? QString("Disabled")
                : Known(tec, value, tec.GetPrecision(TecQuantityT), TecReading::T, sensors[row]));
    }
}

std::vector<CTrendChart::SSample> CTecBlock::TrendSamples(const QString& prefix, bool setPointShown) const
{
    std::vector<CTrendChart::SSample> samples = m_trend;
    for (CTrendChart::SSample& sample : samples)
    {
        if (sample.name.endsWith(SetPointSuffix))
            sample.prominent = setPointShown;
        sample.name.prepend(prefix);
    }
    return samples;
}

void CTecBlock::CollectTrend(CTEC& tec)
{
    const auto known = [&tec](float value, TecReading reading, int sensor = -1)
    {
        return ReadingState::IsKnown(value, tec.IsFresh(reading, sensor)) ? std::optional<double>(value)
                                                                          : std::nullopt;
    };
    // An open or shorted sensor has no temperature, whatever the unit still reports.
    const int condition = tec.IsFresh(TecReading::Condition) ? tec.GetCondition() : 0;
    const bool sensorFault = condition & (CondSensorOpen | CondSensorShort);
    const QString rUnit = QString::fromStdString(tec.GetRUnits(m_sensorType));
    m_trend = {{"T", Degrees, sensorFault ? std::nullopt : known(tec.GetT(), TecReading::T), true},
               {"R", rUnit, sensorFault ? std::nullopt : known(tec.GetR(), TecReading::R), false},
               {"ITE", "A", known(tec.GetITE(), TecReading::ITE), false},
               {"VTE", "V", known(tec.GetV(), TecReading::V), false}};
    static const char* const modeNames[] = {"T", "R", "ITE"};
    if (m_mode >= TecModeT && m_mode <= TecModeITE)
        m_trend.push_back({modeNames[m_mode - TecModeT] + SetPointSuffix, SetPointUnit(tec),
                           m_setPointKnown ? std::optional<double>(m_setPoint) : std::nullopt, true});
    const int count = tec.GetSensorCount();
    if (!m_auxBox || count <= 1)
        return;
    const std::vector<int> sensors = AuxSensors(tec);
    for (size_t row = 0; row < sensors.size() && row < static_cast<size_t>(count - 1); ++row)
    {
        const int sensor = sensors[row];
        const float value = tec.GetT(false, sensor);
        const bool disabled = value <= AuxDisabled && !ReadingState::IsNoValue(value);
        // Named as the row is ("T2", "Ax 1").
        m_trend.push_back({m_auxLabels[row]->text().remove('=').trimmed(), Degrees,
                           disabled ? std::nullopt : known(value, TecReading::T, sensor), false});
    }
}

void CTecBlock::EmptyReadings()
{
    m_trend.clear();
    m_readingsCleared = true;
    for (QLabel* field : {m_tField, m_rField, m_iteField, m_vteField, m_setPointUnit})
        field->clear();
    for (QLabel* value : m_auxValues)
        value->clear();
}

int CTecBlock::SetPointPrecision(CTEC& tec) const
{
    // The mode code is the quantity whose precision the set point carries.
    return tec.GetPrecision(m_mode);
}

QString CTecBlock::SetPointUnit(CTEC& tec) const
{
    switch (m_mode)
    {
    case TecModeT:
        return Degrees;
    case TecModeR:
        return QString::fromStdString(
            tec.GetRUnits(m_sensorType != 0 ? m_sensorType : tec.GetSensorType(false)));
    default:
        return "A";
    }
}

void CTecBlock::WriteSetPointField()
{
    CTEC* tec = Channel();
    m_rewritingField = true;
    if (!tec || !m_setPointKnown)
        m_setPointEdit->setText(tec ? Unknown : QString());
    else
        m_setPointEdit->setText(LocaleNumber::Format(m_setPoint, SetPointPrecision(*tec)));
    m_rewritingField = false;
}

void CTecBlock::CompareSetPoint()
{
    if (!m_connected)
        return;
    const std::optional<double> typed = LocaleNumber::Parse(m_setPointEdit->text());
    const bool differs = m_setPointEdit->text() != Unknown &&
                         (!typed || !m_setPointKnown || static_cast<float>(*typed) != m_setPoint);
    m_edited = differs;
    m_setPointEdit->SetEdited(differs);
    m_setButton->setEnabled(m_setPointEditable && differs && m_requests == 0);
}

void CTecBlock::OnSetPoint()
{
    if (!m_connected || !m_setPointEditable || m_setPointEdit->isReadOnly() || m_requests > 0)
        return;
    const std::optional<double> typed = LocaleNumber::Parse(m_setPointEdit->text());
    // A typo must never become a set point (it used to read as 0), nor "nan" or "inf".
    if (!typed || !std::isfinite(*typed))
        return Refuse("Enter a number.");
    const float value = static_cast<float>(*typed);
    if (m_setPointKnown && value == m_setPoint)
        return;
    CTEC* tec = m_access.Direct();
    if (!tec)
        return;
    const QString unit = SetPointUnit(*tec);
    const QString shown = m_setPointEdit->text().trimmed() + " " + unit;
    CInstrBase* session = m_access.Session();
    const int mode = m_mode;
    Request(
        [tec, session, mode, value, shown, unit]
        {
            if (const QString refusal = RangeRefusal(*tec, mode, value, unit); !refusal.isEmpty())
                return SSetResult{false, refusal};
            const int mark = CSetPointRefusal::Mark(session);
            if (!tec->SetSetPoint(value))
                return SSetResult{false, CSetPointRefusal::Message(shown, session, mark), true};
            return SSetResult{true, {}};
        },
        [this, value](const SSetResult& result) { OnSetPointDone(value, result); });
}

void CTecBlock::OnSetPointDone(float value, const SSetResult& result)
{
    if (!result.accepted)
    {
        // The field shows what the unit holds: its own value again, not the refused one.
        if (result.sent)
            m_refusal.Hold(value);
        return Refuse(result.refusal);
    }
    m_refusal.Clear();
    m_setPoint = value;
    m_setPointKnown = true;
    WriteSetPointField();
    CompareSetPoint();
}

QString CTecBlock::RangeRefusal(CTEC& tec, int mode, float value, const QString& unit)
{
    if (mode != TecModeT && mode != TecModeR && mode != TecModeITE)
        return "Invalid mode, cannot change the setpoint.";
    // The bounds the poll keeps: the check costs no round trip of its own.
    const auto [low, high] = tec.SetPointLimits(mode);
    // The no-value mark is no bound to name.
    if (ReadingState::IsNoValue(low) || ReadingState::IsNoValue(high))
        return LimitsUnknownMessage;
    if (value < static_cast<float>(low) || value > static_cast<float>(high))
        return RangeMessage(mode, low, high, unit);
    return {};
}

template <typename Work, typename Done>
void CTecBlock::Request(Work work, Done done)
{
    const SInstrumentLink& link = m_access.Link();
    if (!link)
        return;
    // Nothing else is asked of the block until the unit has answered this.
    ++m_requests;
    UpdateControls(m_connected);
    link.Call(this, std::move(work),
              [this, done = std::move(done)](const auto& result) mutable
              {
                  --m_requests;
                  UpdateControls(m_connected);
                  if (m_connected)
                      done(result);
              });
}

void CTecBlock::Refuse(const QString& text)
{
    m_context.prompter.Message(this, text);
    WriteSetPointField();
    CompareSetPoint();
}

bool CTecBlock::eventFilter(QObject* watched, QEvent* event)
{
    // Escape in the set-point field takes back the edit: the field shows the unit's set point again.
    if (watched == m_setPointEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
    {
        if (m_connected)
        {
            WriteSetPointField();
            CompareSetPoint();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool CTecBlock::HasFocus() const
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

bool CTecBlock::IsModeLocked(CTEC& tec, int mode)
{
    if (tec.IsSettingHidden(LockAllModes))
        return true;
    switch (mode)
    {
    case TecModeT:
        return tec.IsSettingHidden(LockModeT);
    case TecModeR:
        return tec.IsSettingHidden(LockModeR);
    default:
        return tec.IsSettingHidden(LockModeITE);
    }
}

bool CTecBlock::IsSetPointEditable(CTEC& tec, int mode)
{
    switch (mode)
    {
    case TecModeT:
        return !tec.IsSettingHidden(LockSetPointT);
    case TecModeR:
        return !tec.IsSettingHidden(LockSetPointR);
    case TecModeITE:
        return !tec.IsSettingHidden(LockSetPointITE);
    default:
        return false;
    }
}

void CTecBlock::UpdateControls(bool connected)
{
    const bool connecting = connected && !m_connected;
    m_connected = connected;
    CTEC* tec = connected ? m_access.Selected() : nullptr;
    if (!tec)
        m_stateBadge->hide();
    if (tec && connecting)
        ReadTolerance(*tec);
    m_setPointEditable = tec && IsSetPointEditable(*tec, m_mode);
    // A request under way keeps the controls that would ask another until its answer is in.
    const bool idle = tec && m_requests == 0;
    m_setPointEdit->setEnabled(tec != nullptr);
    m_setPointEdit->setReadOnly(!m_setPointEditable || !idle ||
                                (tec && m_mode == TecModeT && tec->IsTSetPointLocked()));
    m_setButton->setEnabled(m_setPointEditable && idle);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_settingsButton, m_tField, m_rField, m_iteField, m_vteField})
        widget->setEnabled(tec != nullptr);
    m_onButton->setEnabled(idle);
    m_offButton->setEnabled(idle);
    m_tModeButton->setEnabled(idle && !IsModeLocked(*tec, TecModeT));
    m_rModeButton->setEnabled(idle && !IsModeLocked(*tec, TecModeR));
    m_iteModeButton->setEnabled(idle && !IsModeLocked(*tec, TecModeITE));
    m_autoTuneButton->setVisible(tec && tec->IsAutoTuneSupported());
    if (m_auxBox)
    {
        const int count = tec ? tec->GetSensorCount() : 0;
        m_auxBox->setVisible(count > 1);
        for (int row = 0; row < AuxRows; ++row)
        {
            const bool shown = row < count - 1;
            m_auxLabels[row]->setVisible(shown);
            m_auxValues[row]->setVisible(shown);
            qobject_cast<QWidget*>(m_auxValues[row]->property("unitLabel").value<QObject*>())
                ->setVisible(shown);
        }
    }
    if (!tec)
    {
        // A unit no longer connected has no output state or mode to show.
        EmptyReadings();
        Uncheck({m_onButton, m_offButton});
        Uncheck({m_tModeButton, m_rModeButton, m_iteModeButton});
        m_setPointEdit->clear();
        m_setPointEdit->SetEdited(false);
        m_edited = false;
        return;
    }
    CompareSetPoint();
}

void CTecBlock::SetSetPointTitle(const QString& title)
{
    m_setPointGroup->setTitle(title);
}

void CTecBlock::ResetReadings()
{
    m_refusal.Clear();
    m_setPoint = 0.0f;
    m_setPointKnown = false;
    m_output = false;
    m_mode = 0;
    m_sensorType = 0;
    Uncheck({m_onButton, m_offButton});
    Uncheck({m_tModeButton, m_rModeButton, m_iteModeButton});
}

// The buttons go back to the state last read; the refresh checks the new one once the channel has it.
void CTecBlock::SendMode(int mode)
{
    CTEC* tec = m_access.Direct();
    if (tec && m_requests == 0)
        Request([tec, mode] { return tec->SetMode(mode); }, [this](bool) { ShowCheckedButtons(); });
    ShowCheckedButtons();
}

void CTecBlock::SendOutput(bool on)
{
    CTEC* tec = m_access.Direct();
    if (tec)
        Request([tec, on] { return tec->SetOutput(on); },
                [this, on](bool confirmed)
                {
                    // Off is taken as done once the unit confirmed it, so that leaving the panel need
                    // not wait for a poll.
                    if (confirmed && !on)
                        m_output = false;
                    ShowCheckedButtons();
                });
    ShowCheckedButtons();
}

void CTecBlock::ShowCheckedButtons()
{
    QRadioButton* mode = m_mode == TecModeT     ? m_tModeButton
                         : m_mode == TecModeR   ? m_rModeButton
                         : m_mode == TecModeITE ? m_iteModeButton
                                                : nullptr;
    Uncheck({m_tModeButton, m_rModeButton, m_iteModeButton});
    if (mode)
        mode->setChecked(true);
    (m_output ? m_onButton : m_offButton)->setChecked(true);
}

void CTecBlock::OpenSettings()
{
    if (!Channel())
        return;
    CTECSettingsDlg dialog(m_context, m_access, this);
    dialog.exec();
    ReloadTolerance();
}

void CTecBlock::OpenAutoTune()
{
    CAutoTuneWizard::Run(m_context, m_access, this);
}
