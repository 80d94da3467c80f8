#include "ui/panels/parts/LaserBlock.h"

#include "instrument/laser/Laser.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/LaserSettingsDlg.h"
#include "ui/dialogs/QCWParametersDlg.h"
#include "ui/dialogs/SettingsSheet.h"
#include "ui/widgets/DeliberateButtons.h"
#include "ui/widgets/LocaleNumber.h"
#include "ui/widgets/ReadingState.h"
#include "ui/widgets/SetPointEdit.h"
#include "ui/widgets/SetPointRefusal.h"

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
#include <algorithm>
#include <cmath>

namespace
{
struct SModeButton
{
    const char* label;
    const char* unit;
    const char* objectName;
};

// Indexed by mode code - 1.
constexpr SModeButton kModes[CLaserBlock::ModeCount] = {
    {"Io", "mA", "ioModeButton"},       {"Io HiBW", "mA", "ioHiBwModeButton"},
    {"Pulse", "mA", "pulseModeButton"}, {"Ext Trig", "mA", "extTrigModeButton"},
    {"Burst", "mA", "burstModeButton"}, {"Im", "\u00b5A", "imModeButton"},
    {"Po", "mW", "poModeButton"},       {"Vf", "V", "vfModeButton"},
};

bool IsPulseMode(int mode)
{
    return mode == LaserModePulse || mode == LaserModeTrig || mode == LaserModeBurst;
}

QString ModeUnit(int mode)
{
    return mode >= 1 && mode <= CLaserBlock::ModeCount ? QString::fromUtf8(kModes[mode - 1].unit) : QString();
}

QFont ArialBold(int pixels)
{
    QFont font("Arial");
    font.setBold(true);
    font.setPixelSize(pixels);
    return font;
}

QLineEdit* ReadingField(const char* objectName, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setFont(ArialBold(28));
    field->setAlignment(Qt::AlignRight);
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance("-00000.000") + 12);
    return field;
}

QLabel* TextLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(ArialBold(18));
    return label;
}

// A maximum or limit the channel could not give (no value, unreadable, or a maximum of 0 or less,
// which models without stored maxima answer) does not bound the set point.
std::optional<double> Bounding(float value, bool isMaximum)
{
    if (ReadingState::IsNoValue(value) || (isMaximum && value <= 0.0f))
        return std::nullopt;
    return value;
}

std::optional<double> Smaller(float maximum, float limit)
{
    const std::optional<double> a = Bounding(maximum, true);
    const std::optional<double> b = Bounding(limit, false);
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}
} // namespace

const QString CLaserBlock::LimitsMessage =
    "Laser set point exceeds the limits, please enter a value between %1 and %2 %3.";
const QString CLaserBlock::InvalidModeMessage = "Invalid mode, cannot change the setpoint.";
const QString CLaserBlock::NoResponsivityMessage =
    "The photodiode response is 0, so no power set point can be checked. Enter the PD response in the "
    "laser settings first.";
const QString CLaserBlock::LimitsUnknownMessage =
    "The laser's limits could not be read, so the set point was not sent.";

CLaserBlock::CLaserBlock(const SUiContext& context, SLaserChannelAccess access, const SOptions& options,
                         QWidget* parent)
    : QWidget(parent), m_context(context), m_access(std::move(access)), m_options(options),
      m_setPoint(CLaser::NoValue)
{
    setObjectName("laserBlock");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(BuildSetPointRow());
    layout->addWidget(BuildReadings());
    layout->addWidget(BuildModes());
    layout->addWidget(BuildButtons());
    layout->addStretch(1);
    UpdateControls(false);
}

QWidget* CLaserBlock::BuildSetPointRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* setPointGroup = new QGroupBox(m_options.setPointTitle, row);
    setPointGroup->setObjectName("setPointGroup");
    m_setPointGroup = setPointGroup;
    auto* setPointLayout = new QHBoxLayout(setPointGroup);
    m_setPointEdit = new CSetPointEdit(setPointGroup);
    m_setPointEdit->setObjectName("setPointEdit");
    m_setPointEdit->setFont(ArialBold(28));
    m_setPointEdit->setAlignment(Qt::AlignRight);
    m_setPointEdit->setMinimumWidth(m_setPointEdit->fontMetrics().horizontalAdvance("00000.000") + 12);
    m_setPointUnit = TextLabel(QString(), setPointGroup);
    m_setPointUnit->setObjectName("setPointUnit");
    m_setPointUnit->setMinimumWidth(m_setPointUnit->fontMetrics().horizontalAdvance("\u00b5A") + 4);
    m_setButton = new QPushButton("Set", setPointGroup);
    m_setButton->setObjectName("setButton");
    m_setButton->setFont(ArialBold(20));
    setPointLayout->addWidget(m_setPointEdit, 1);
    setPointLayout->addWidget(m_setPointUnit);
    setPointLayout->addWidget(m_setButton);

    auto* outputGroup = new QGroupBox(m_options.outputTitle, row);
    outputGroup->setObjectName("outputGroup");
    auto* outputLayout = new QVBoxLayout(outputGroup);
    m_onButton = new QRadioButton("On", outputGroup);
    m_onButton->setObjectName("onButton");
    m_offButton = new QRadioButton("Off", outputGroup);
    m_offButton->setObjectName("offButton");
    for (QRadioButton* button : {m_onButton, m_offButton})
    {
        button->setFont(ArialBold(18));
        outputLayout->addWidget(button);
    }
    // Seen from across the room while the output is on; keeps its room while off so nothing moves.
    m_laserOnBadge = new QLabel("LASER ON", outputGroup);
    m_laserOnBadge->setObjectName("laserOnBadge");
    m_laserOnBadge->setFont(ArialBold(16));
    m_laserOnBadge->setAlignment(Qt::AlignCenter);
    m_laserOnBadge->setStyleSheet(
        "QLabel { color: white; background-color: rgb(210, 0, 0); border-radius: 3px; padding: 2px 6px; }");
    QSizePolicy keepRoom = m_laserOnBadge->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_laserOnBadge->setSizePolicy(keepRoom);
    m_laserOnBadge->hide();
    outputLayout->addWidget(m_laserOnBadge);
    layout->addWidget(setPointGroup, 1);
    layout->addWidget(outputGroup);

    connect(m_setButton, &QPushButton::clicked, this, [this] { OnSetPoint(); });
    connect(m_setPointEdit, &QLineEdit::textEdited, this, &CLaserBlock::OnSetPointEdited);
    connect(m_onButton, &QRadioButton::clicked, this, [this] { OnOutputClicked(true); });
    connect(m_offButton, &QRadioButton::clicked, this, [this] { OnOutputClicked(false); });
    new CDeliberateButtons({m_onButton, m_offButton}, this);
    m_setPointEdit->installEventFilter(this);
    return row;
}

QWidget* CLaserBlock::BuildReadings()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    struct SRow
    {
        const char* label;
        const char* unit;
        const char* objectName;
        QLineEdit** field;
    };
    const SRow rows[] = {{"Io =", "mA", "ioField", &m_ioField},
                         {"Im =", "\u00b5A", "imField", &m_imField},
                         {"Po =", "mW", "poField", &m_poField},
                         {"Vf =", "V", "vfField", &m_vfField}};
    int row = 0;
    for (const SRow& r : rows)
    {
        QLabel* label = TextLabel(r.label, box);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        *r.field = ReadingField(r.objectName, box);
        QLabel* unit = TextLabel(QString::fromUtf8(r.unit), box);
        grid->addWidget(label, row, 0);
        grid->addWidget(*r.field, row, 1);
        grid->addWidget(unit, row, 2);
        if (r.field == &m_poField)
        {
            label->setObjectName("poLabel");
            unit->setObjectName("poUnit");
            m_poLabel = label;
            m_poUnit = unit;
        }
        ++row;
    }
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* CLaserBlock::BuildModes()
{
    auto* group = new QGroupBox("Mode", this);
    group->setObjectName("modeGroup");
    auto* grid = new QGridLayout(group);
    m_modeGroup = new QButtonGroup(this);
    m_modeGroup->setExclusive(true);
    // Current modes in the left column, the monitor and voltage modes on the right.
    const int positions[ModeCount][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {0, 1}, {1, 1}, {2, 1}};
    auto* guard = new CDeliberateButtons({}, this);
    for (int mode = 1; mode <= ModeCount; ++mode)
    {
        auto* button = new QRadioButton(kModes[mode - 1].label, group);
        button->setObjectName(kModes[mode - 1].objectName);
        button->setFont(ArialBold(18));
        m_modeGroup->addButton(button, mode);
        grid->addWidget(button, positions[mode - 1][0], positions[mode - 1][1]);
        m_modeButtons[static_cast<size_t>(mode - 1)] = button;
        guard->Add(button);
        connect(button, &QRadioButton::clicked, this, [this, mode] { OnModeClicked(mode); });
    }
    return group;
}

QWidget* CLaserBlock::BuildButtons()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_settingsButton = new QPushButton("Laser Settings...", row);
    m_settingsButton->setObjectName("laserSettingsButton");
    m_settingsButton->setVisible(m_options.settingsButton);
    m_qcwButton = new QPushButton("QCW Adjust ...", row);
    m_qcwButton->setObjectName("qcwAdjustButton");
    m_qcwButton->setVisible(m_options.pulseModes);
    layout->addWidget(m_settingsButton);
    layout->addWidget(m_qcwButton);
    layout->addStretch(1);
    if (m_options.openSettings)
        connect(m_settingsButton, &QPushButton::clicked, this, m_options.openSettings);
    else
        connect(m_settingsButton, &QPushButton::clicked, this, &CLaserBlock::OnLaserSettings);
    connect(m_qcwButton, &QPushButton::clicked, this, &CLaserBlock::OnQcwAdjust);
    return row;
}

void CLaserBlock::Refresh(bool forced)
{
    CLaser* laser = m_access.Selected();
    if (!laser)
    {
        EmptyReadings();
        return;
    }
    if (forced)
        ReadResponsivity();
    const auto show = [&](size_t index, QLineEdit* field, float value, int quantity, LaserPollItem item)
    {
        const bool known = ReadingState::IsKnown(value, laser->IsFresh(item));
        m_readings[index] = known ? std::optional<double>(value) : std::nullopt;
        field->setText(known ? LocaleNumber::Format(value, laser->GetPrecision(quantity)) : QString("---"));
    };
    show(0, m_ioField, laser->GetLDI(false), LaserModeICW, LaserPollItem::LDI);
    show(1, m_imField, laser->GetMDI(false), LaserModeMDI, LaserPollItem::MDI);
    show(2, m_poField, laser->GetMDP(false), LaserModeMDP, LaserPollItem::MDP);
    show(3, m_vfField, laser->GetLDV(false), LaserModeLDV, LaserPollItem::LDV);

    // The mode before the set point: a new mode brings its own set point into the field, so a typed,
    // unsent value of the old mode never goes out in the new mode's unit.
    const int mode = laser->GetMode(false);
    const bool modeChanged = mode != m_mode;
    if (modeChanged || forced)
        ShowMode(*laser, mode);
    else if (m_setPointUnit->text().isEmpty())
        m_setPointUnit->setText(ModeUnit(m_mode));
    const float setPoint = laser->GetSetPoint();
    // A refused value the channel still caches is not the unit's: the field keeps the unit's own.
    if (!m_refusal.Hides(setPoint) && (setPoint != m_setPoint || forced || modeChanged))
    {
        m_setPoint = setPoint;
        ShowSetPoint(*laser);
    }
    CompareSetPoint();

    const bool output = laser->GetOutput(false);
    if (output != m_output || forced)
        ShowOutput(output);
}

std::vector<CTrendChart::SSample> CLaserBlock::TrendSamples(const QString& prefix, bool setPointShown) const
{
    // The reading fields in order, with the mode that drives each.
    static const char* const names[] = {"Io", "Im", "Po", "Vf"};
    static const int modes[] = {LaserModeICW, LaserModeMDI, LaserModeMDP, LaserModeLDV};
    const bool known = m_mode >= 1 && m_mode <= ModeCount;
    const int driven = m_mode <= LaserModeBurst ? LaserModeICW : m_mode;
    std::vector<CTrendChart::SSample> samples;
    for (size_t i = 0; i < std::size(names); ++i)
        samples.push_back(
            {prefix + names[i], ModeUnit(modes[i]), m_readings[i], known && driven == modes[i]});
    if (known)
        samples.push_back(
            {prefix + kModes[m_mode - 1].label + " set point", ModeUnit(m_mode),
             ReadingState::IsNoValue(m_setPoint) ? std::nullopt : std::optional<double>(m_setPoint),
             setPointShown});
    return samples;
}

void CLaserBlock::EmptyReadings()
{
    m_readings = {};
    for (QLineEdit* field : {m_ioField, m_imField, m_poField, m_vfField})
        field->clear();
    m_setPointUnit->clear();
}

void CLaserBlock::ShowMode(CLaser& laser, int mode)
{
    if (mode != m_mode)
        m_refusal.Clear();
    m_mode = mode;
    if (mode >= 1 && mode <= ModeCount)
        m_modeButtons[static_cast<size_t>(mode - 1)]->setChecked(true);
    else if (QAbstractButton* checked = m_modeGroup->checkedButton())
    {
        m_modeGroup->setExclusive(false);
        checked->setChecked(false);
        m_modeGroup->setExclusive(true);
    }
    m_setPointUnit->setText(ModeUnit(mode));
    if (const float setPoint = laser.GetSetPoint(); !m_refusal.Hides(setPoint))
        m_setPoint = setPoint;
    ShowSetPoint(laser);
    UpdateQcwButton();
}

void CLaserBlock::ShowSetPoint(CLaser& laser)
{
    // A set point the program cannot vouch for is not offered as one to edit.
    if (ReadingState::IsNoValue(m_setPoint))
        m_setPointEdit->clear();
    else
        m_setPointEdit->setText(LocaleNumber::Format(m_setPoint, laser.GetPrecision(m_mode)));
}

void CLaserBlock::ShowOutput(bool on)
{
    m_output = on;
    m_laserOnBadge->setVisible(on && m_connected);
    QRadioButton* checked = on ? m_onButton : m_offButton;
    QRadioButton* other = on ? m_offButton : m_onButton;
    const bool moveFocus = other->hasFocus();
    checked->setChecked(true);
    if (moveFocus)
        checked->setFocus();
}

void CLaserBlock::CompareSetPoint()
{
    if (!m_connected)
    {
        m_setPointEdit->SetEdited(false);
        return;
    }
    bool differs = false;
    if (!ReadingState::IsNoValue(m_setPoint))
    {
        const std::optional<double> typed = LocaleNumber::Parse(m_setPointEdit->text());
        differs = !typed || static_cast<float>(*typed) != m_setPoint;
    }
    else
        differs = !m_setPointEdit->text().isEmpty();
    m_setPointEdit->SetEdited(differs);
    m_setButton->setEnabled(differs);
}

void CLaserBlock::OnSetPointEdited()
{
    CompareSetPoint();
}

bool CLaserBlock::OnSetPoint()
{
    if (!m_connected || m_requests > 0)
        return false;
    CLaser* laser = m_access.Direct();
    if (!laser)
        return false;
    const std::optional<double> typed = LocaleNumber::Parse(m_setPointEdit->text());
    if (!typed || !std::isfinite(*typed))
    {
        m_context.prompter.Message(this, "Enter a number.");
        m_setPointEdit->setFocus();
        return false;
    }
    if (static_cast<float>(*typed) == m_setPoint)
        return false;
    const double value = *typed;
    const QString typedText = m_setPointEdit->text().trimmed() + " " + ModeUnit(m_mode);
    CInstrBase* session = m_access.Session();
    const int mode = m_mode;
    return Request(
        [laser, session, mode, value, typedText]
        {
            SSetResult result;
            const std::optional<double> upper = UpperBound(*laser, mode, result.refusal);
            if (!upper)
                return result;
            if (value < 0.0 || value > *upper)
            {
                result.refusal =
                    LimitsMessage.arg(LocaleNumber::Bound(0.0), LocaleNumber::Bound(*upper), ModeUnit(mode));
                result.refocus = true;
                return result;
            }
            const int mark = CSetPointRefusal::Mark(session);
            result.accepted = laser->SetSetPoint(value);
            if (!result.accepted)
            {
                result.sent = true;
                result.refusal = CSetPointRefusal::Message(typedText, session, mark);
            }
            return result;
        },
        [this, value](const SSetResult& result) { OnSetPointDone(static_cast<float>(value), result); });
}

void CLaserBlock::OnSetPointDone(float value, const SSetResult& result)
{
    CLaser* laser = m_access.Selected();
    if (result.accepted)
    {
        m_refusal.Clear();
        m_setPoint = value;
    }
    else if (result.sent)
    {
        // The field shows what the unit holds: its own value again, not the refused one.
        m_refusal.Hold(value);
    }
    if (laser && (result.accepted || result.sent))
        ShowSetPoint(*laser);
    CompareSetPoint();
    if (result.accepted)
        return;
    m_context.prompter.Message(this, result.refusal);
    if (result.refocus)
        m_setPointEdit->setFocus();
}

template <typename Work, typename Done>
bool CLaserBlock::Request(Work work, Done done)
{
    const SInstrumentLink& link = m_access.Link();
    if (!link)
        return false;
    // Nothing else is asked of the block until the unit has answered this.
    ++m_requests;
    EnableControls();
    link.Call(this, std::move(work),
              [this, done = std::move(done)](const auto& result) mutable
              {
                  --m_requests;
                  EnableControls();
                  if (m_connected)
                      done(result);
              });
    return true;
}

std::optional<double> CLaserBlock::UpperBound(CLaser& laser, int mode, QString& refusal)
{
    std::optional<double> upper;
    switch (mode)
    {
    case LaserModeICW:
    case LaserModeIHBW:
    case LaserModePulse:
    case LaserModeTrig:
    case LaserModeBurst:
        upper = Smaller(laser.GetMaxLDISetPoint(), laser.GetKeptSetting(CLaser::KeptLDILimit));
        break;
    case LaserModeMDI:
        upper = Smaller(laser.GetMaxMDISetPoint(), laser.GetKeptSetting(CLaser::KeptMDILimit));
        break;
    case LaserModeMDP:
    {
        // No bound can be computed without a responsivity: refusing is the safe reading.
        const float responsivity = laser.GetKeptSetting(CLaser::KeptCalMD);
        if (ReadingState::IsNoValue(responsivity) || responsivity <= 0.0f)
        {
            refusal = NoResponsivityMessage;
            return std::nullopt;
        }
        upper = Smaller(laser.GetMaxMDISetPoint(), laser.GetKeptSetting(CLaser::KeptMDILimit));
        if (upper)
            *upper /= responsivity;
        break;
    }
    case LaserModeLDV:
        upper = Smaller(laser.GetMaxLDVSetPoint(), laser.GetKeptSetting(CLaser::KeptLDVLimit));
        break;
    default:
        refusal = InvalidModeMessage;
        return std::nullopt;
    }
    if (!upper)
        refusal = LimitsUnknownMessage;
    return upper;
}

bool CLaserBlock::eventFilter(QObject* watched, QEvent* event)
{
    // Escape in the set-point field takes back the edit: the field shows the unit's set point again.
    if (watched == m_setPointEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
    {
        CLaser* laser = m_connected ? m_access.Selected() : nullptr;
        if (laser)
        {
            ShowSetPoint(*laser);
            CompareSetPoint();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool CLaserBlock::HasSetPointFocus() const
{
    return m_setPointEdit->hasFocus();
}

void CLaserBlock::OnModeClicked(int mode)
{
    CLaser* laser = m_access.Direct();
    if (!laser || m_requests > 0)
        return;
    Request([laser, mode] { return laser->SetMode(mode); },
            [this, mode](bool)
            {
                if (CLaser* selected = m_access.Selected())
                    ShowMode(*selected, mode);
                CompareSetPoint();
            });
}

void CLaserBlock::OnOutputClicked(bool on)
{
    CLaser* laser = m_access.Direct();
    if (!laser || m_requests > 0)
        return;
    if (on && !m_onButton->isChecked())
        return;
    // Shown as switched only once the unit confirmed it; until then the buttons wait, disabled.
    Request([laser, on] { return laser->SetOutput(on); },
            [this, on](bool confirmed) { ShowOutput(confirmed ? on : m_output); });
}

void CLaserBlock::SwitchOutputOff()
{
    CLaser* laser = m_access.Direct();
    if (laser)
        Request([laser] { return laser->SetOutput(false); },
                [this](bool confirmed)
                {
                    if (confirmed)
                        ShowOutput(false);
                });
}

void CLaserBlock::ReadResponsivity()
{
    // Read when the controls are set up and on a forced tick rather than on every tick: one more
    // query per tick and channel would load the port for a value that changes only in the settings.
    CLaser* laser = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!laser || !link)
        return;
    link.Call(
        this, [laser] { return laser->GetCalMD(); },
        [this](float responsivity)
        {
            m_responsivity = ReadingState::IsNoValue(responsivity) ? 0.0f : responsivity;
            const bool shown = m_responsivity != 0.0f;
            m_poLabel->setVisible(shown);
            m_poField->setVisible(shown);
            m_poUnit->setVisible(shown);
            EnableControls();
        });
}

void CLaserBlock::UpdateControls(bool connected)
{
    m_connected = connected;
    CLaser* laser = connected ? m_access.Selected() : nullptr;
    m_pulseCapable = laser && laser->IsPulseCapable();
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_settingsButton, m_ioField, m_imField, m_poField, m_vfField})
        widget->setEnabled(connected);
    const bool pulseShown = m_options.pulseModes && m_pulseCapable;
    for (int mode : {LaserModePulse, LaserModeTrig, LaserModeBurst})
        m_modeButtons[static_cast<size_t>(mode - 1)]->setVisible(pulseShown);
    EnableControls();
    if (laser)
        ReadResponsivity();
    UpdateQcwButton();
    if (!connected)
    {
        ClearFields();
        m_laserOnBadge->hide();
    }
    CompareSetPoint();
}

void CLaserBlock::EnableControls()
{
    // A request under way keeps the controls that would ask another until its answer is in.
    const bool idle = m_connected && m_requests == 0;
    m_setPointEdit->setEnabled(m_connected);
    m_setPointEdit->setReadOnly(!idle);
    for (QWidget* widget : std::initializer_list<QWidget*>{m_setButton, m_onButton, m_offButton})
        widget->setEnabled(idle);
    const bool pulseShown = m_options.pulseModes && m_pulseCapable;
    for (int mode : {LaserModeICW, LaserModeIHBW, LaserModeMDI, LaserModeLDV})
        m_modeButtons[static_cast<size_t>(mode - 1)]->setEnabled(idle);
    for (int mode : {LaserModePulse, LaserModeTrig, LaserModeBurst})
        m_modeButtons[static_cast<size_t>(mode - 1)]->setEnabled(idle && pulseShown);
    m_modeButtons[LaserModeMDP - 1]->setEnabled(idle && m_responsivity != 0.0f);
}

void CLaserBlock::UpdateQcwButton()
{
    m_qcwButton->setEnabled(m_connected && m_options.pulseModes && m_pulseCapable && IsPulseMode(m_mode));
}

void CLaserBlock::ClearFields()
{
    EmptyReadings();
    m_setPointEdit->clear();
    // A unit no longer connected has no output state or mode to show.
    if (QAbstractButton* checked = m_modeGroup->checkedButton())
    {
        m_modeGroup->setExclusive(false);
        checked->setChecked(false);
        m_modeGroup->setExclusive(true);
    }
    for (QRadioButton* button : {m_onButton, m_offButton})
        button->setAutoExclusive(false);
    for (QRadioButton* button : {m_onButton, m_offButton})
        button->setChecked(false);
    for (QRadioButton* button : {m_onButton, m_offButton})
        button->setAutoExclusive(true);
}

void CLaserBlock::ResetReadings()
{
    m_refusal.Clear();
    m_setPoint = CLaser::NoValue;
    m_output = false;
    m_mode = 0;
}

void CLaserBlock::SetSetPointTitle(const QString& title)
{
    m_setPointGroup->setTitle(title);
}

void CLaserBlock::OnLaserSettings()
{
    if (!m_access.Peek())
        return;
    CSettingsSheet sheet(m_context, "Laser Settings", this);
    sheet.AddPage(new CLaserSettingsDlg(m_context, m_access, &sheet), "Laser Settings");
    if (sheet.Open() == QDialog::Accepted)
        emit settingsChanged();
}

void CLaserBlock::OnQcwAdjust()
{
    CLaser* laser = m_access.Peek();
    if (!laser || !laser->IsPulseCapable())
        return;
    CQCWParametersDlg dialog(m_context, m_access, this);
    dialog.exec();
}
