#include "ui/dialogs/TecSettingsPage.h"

#include "instrument/tec/TEC.h"
#include "instrument/tec/TecTypes.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/FieldPrompts.h"
#include "ui/dialogs/TecSettingRows.h"
#include "ui/widgets/LocaleNumber.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <tuple>

using namespace TecSettingRows;

namespace
{
const QString Degrees = QString::fromUtf8("\u00b0C");

// The unit without a sensor choice, cable resistance or PID (identification model code 3).
constexpr int ModelWithoutSensorChoice = 3;

struct SSensorEntry
{
    uint32_t key;
    int code;
};
constexpr std::array<SSensorEntry, 7> SensorEntries = {{{0xF0001401, SensorThermistor100uA},
                                                        {0xF0001402, SensorThermistor10uA},
                                                        {0xF0001404, SensorThermistor1mA},
                                                        {0xF0001408, SensorLM335},
                                                        {0xF0001410, SensorAD590},
                                                        {0xF0001420, SensorRTD},
                                                        {0xF0001440, SensorRTD4Wire}}};

// Output-off mask bits, one per check box, in the order of the boxes.
constexpr std::array<int, 8> OutputOffBits = {0x1, 0x4, 0x8, 0x10, 0x40, 0x400, 0x80, 0x200};
constexpr std::array<int, 9> GainCodes = {1, 3, 5, 10, 30, 50, 100, 300, 0};
constexpr int GainPID = 0;
constexpr int FanSpeedCustom = FanVoltage;
constexpr int FanModeDelay = 2;

// A value the unit could not give is shown blank.
std::optional<double> Known(double value)
{
    return std::isfinite(value) && value > CTEC::NoValue / 10 ? std::optional<double>(value) : std::nullopt;
}

// A hidden group stays visible but cannot be changed: lists and boxes disabled, edits read-only.
void Lock(QWidget* control, bool locked)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setReadOnly(locked);
    else
        control->setEnabled(!locked);
}

QLabel* Caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// A pair of limits goes out so that the instrument never holds a low limit above its high limit: when
// the new low is at or above the unit's current low, the high limit moves first. Empty values are
// the ones the user left alone.
std::optional<QString> SendLimitPair(std::optional<float> low, std::optional<float> high, float currentLow,
                                     const std::function<bool(float)>& setLow,
                                     const std::function<bool(float)>& setHigh, const QString& lowName,
                                     const QString& highName)
{
    const bool highFirst = !low || currentLow <= *low;
    auto sendLow = [&] { return !low || setLow(*low); };
    auto sendHigh = [&] { return !high || setHigh(*high); };
    if (highFirst)
    {
        if (!sendHigh())
            return highName;
        if (!sendLow())
            return lowName;
        return std::nullopt;
    }
    if (!sendLow())
        return lowName;
    if (!sendHigh())
        return highName;
    return std::nullopt;
}

// A command whose refusal shows in the instrument's error log rather than on the page.
void AddUnchecked(CWriteSequence<CTEC>& writes, std::function<void(CTEC&)> send)
{
    writes.AddStep(
        [send = std::move(send)](CTEC& tec) -> std::optional<QString>
        {
            send(tec);
            return std::nullopt;
        });
}
} // namespace

CTecSettingsPage::CTecSettingsPage(const SUiContext& context, STecChannelAccess access, QWidget* parent)
    : CSettingsPage(context, parent), m_access(std::move(access)),
      m_fields(Rows(), CSettingFields::ELayout::Compact)
{
    setObjectName("tecSettingsPage");
    Build();
}

bool CTecSettingsPage::IsChannelPresent() const
{
    return m_access.Peek() != nullptr;
}

// ---- building ----------------------------------------------------------------------------------

QGroupBox* CTecSettingsPage::Box(const QString& title, QGridLayout*& grid)
{
    auto* group = new QGroupBox(title, Form());
    grid = new QGridLayout(group);
    return group;
}

void CTecSettingsPage::Build()
{
    auto* first = new QVBoxLayout;
    first->addWidget(BuildConditions());
    first->addWidget(BuildLimits());
    first->addWidget(BuildAnalog());
    first->addStretch(1);
    auto* second = new QVBoxLayout;
    second->addWidget(BuildMisc());
    second->addWidget(BuildGain());
    second->addWidget(BuildFan());
    second->addStretch(1);
    auto* third = new QVBoxLayout;
    third->addWidget(BuildConstants("Thermistor Constants", ThermA, 3));
    third->addWidget(BuildConstants("RTD Constants", RtdA, 4));
    third->addWidget(BuildConstants("AD590 Constants", Ad590M, 2));
    third->addWidget(BuildConstants("LM335 Constants", Lm335M, 2));
    third->addStretch(1);
    auto* columns = new QHBoxLayout(Form());
    columns->setContentsMargins(0, 0, 0, 0);
    columns->addLayout(first);
    columns->addLayout(second);
    columns->addLayout(third);
}

QGroupBox* CTecSettingsPage::BuildConditions()
{
    QGridLayout* grid = nullptr;
    QGroupBox* group = Box("Conditions That Turn Output Off", grid);
    const std::array<const char*, 8> labels = {"Current Limit",
                                               "R (sensor) Limits",
                                               "Temperature High Limit",
                                               "Temperature Low Limit",
                                               "Sensor Open",
                                               "Sensor Short",
                                               "TEC Open",
                                               "Out of tolerance"};
    const std::array<const char*, 8> names = {"currentLimitCheck", "rLimitsCheck",       "tHighLimitCheck",
                                              "tLowLimitCheck",    "sensorOpenCheck",    "sensorShortCheck",
                                              "tecOpenCheck",      "outOfToleranceCheck"};
    for (size_t i = 0; i < labels.size(); ++i)
    {
        m_outputOffChecks[i] = new QCheckBox(labels[i], group);
        m_outputOffChecks[i]->setObjectName(names[i]);
        grid->addWidget(m_outputOffChecks[i], static_cast<int>(i % 4), static_cast<int>(i / 4));
    }
    return group;
}

QGroupBox* CTecSettingsPage::BuildLimits()
{
    // Only a frame for the three limit groups below it.
    auto* group = new QGroupBox(Form());
    group->setFlat(true);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    auto range = [this, column](const QString& title, size_t low, size_t high)
    {
        QGridLayout* grid = nullptr;
        QGroupBox* box = Box(title, grid);
        grid->addWidget(m_fields.NewEdit(low, box), 0, 0);
        grid->addWidget(new QLabel("to", box), 0, 1);
        grid->addWidget(m_fields.NewEdit(high, box), 0, 2);
        auto* unit = new QLabel(box);
        grid->addWidget(unit, 0, 3);
        grid->setColumnStretch(4, 1);
        column->addWidget(box);
        return std::pair{grid, unit};
    };
    range("Temperature Limits", TLow, THigh).second->setText(Degrees);
    QGridLayout* sensorGrid = nullptr;
    std::tie(sensorGrid, m_rUnit) = range("Sensor Limits", RLow, RHigh);
    m_rUnit->setObjectName("rUnitLabel");
    auto* note = new QLabel("Note: changing sensor types resets the sensor limits.", Form());
    note->setWordWrap(true);
    sensorGrid->addWidget(note, 1, 0, 1, 5);

    QGridLayout* grid = nullptr;
    QGroupBox* current = Box("Current Limit", grid);
    m_fields.Place(IteLimit, grid, 0, current);
    grid->setColumnStretch(3, 1);
    column->addWidget(current);
    return group;
}

QGroupBox* CTecSettingsPage::BuildMisc()
{
    QGridLayout* grid = nullptr;
    QGroupBox* group = Box("Misc Settings", grid);
    m_sensorLabel = Caption("Sensor:", group);
    m_sensorList = new QComboBox(group);
    m_sensorList->setObjectName("sensorList");
    m_heatCoolList = new QComboBox(group);
    m_heatCoolList->setObjectName("heatCoolList");
    m_heatCoolList->addItems({"Heat/Cool", "Heat Only", "Cool Only"});
    grid->addWidget(m_sensorLabel, 0, 0);
    grid->addWidget(m_sensorList, 0, 1, 1, 2);
    m_fields.Place(TolTime, grid, 1, group);
    m_fields.Place(TolTemp, grid, 2, group);
    grid->addWidget(Caption("Heat/Cool Mode:", group), 3, 0);
    grid->addWidget(m_heatCoolList, 3, 1, 1, 2);
    m_fields.Place(CableR, grid, 4, group);
    connect(m_sensorList, qOverload<int>(&QComboBox::activated), this, &CTecSettingsPage::OnSensorChanged);
    return group;
}

QGroupBox* CTecSettingsPage::BuildGain()
{
    QGridLayout* grid = nullptr;
    QGroupBox* group = Box("Gain Settings", grid);
    m_gainList = new QComboBox(group);
    m_gainList->setObjectName("gainList");
    grid->addWidget(Caption("Gain:", group), 0, 0);
    grid->addWidget(m_gainList, 0, 1);
    for (size_t k : {P, I, D})
        m_fields.Place(k, grid, static_cast<int>(k - P) + 1, group);
    connect(m_gainList, qOverload<int>(&QComboBox::activated), this, &CTecSettingsPage::ApplyEnableRules);
    return group;
}

QGroupBox* CTecSettingsPage::BuildFan()
{
    QGridLayout* grid = nullptr;
    QGroupBox* group = Box("External Fan Settings", grid);
    m_fanSpeedList = new QComboBox(group);
    m_fanSpeedList->setObjectName("fanSpeedList");
    m_fanModeList = new QComboBox(group);
    m_fanModeList->setObjectName("fanModeList");
    m_fanModeList->addItems({"Auto", "On", "Delay", "Cool", "Heat"});
    grid->addWidget(Caption("Speed:", group), 0, 0);
    grid->addWidget(m_fanSpeedList, 0, 1, 1, 2);
    m_fields.Place(FanVolts, grid, 1, group);
    grid->addWidget(Caption("Mode:", group), 2, 0);
    grid->addWidget(m_fanModeList, 2, 1, 1, 2);
    m_fields.Place(FanDelay, grid, 3, group);
    connect(m_fanSpeedList, qOverload<int>(&QComboBox::activated), this, &CTecSettingsPage::ApplyEnableRules);
    connect(m_fanModeList, qOverload<int>(&QComboBox::activated), this, &CTecSettingsPage::ApplyEnableRules);
    return group;
}

QGroupBox* CTecSettingsPage::BuildAnalog()
{
    QGridLayout* grid = nullptr;
    m_analogGroup = Box("Analog Interface", grid);
    m_analogGroup->setObjectName("analogGroup");
    m_analogEnable = new QCheckBox("Enable Analog Interface", m_analogGroup);
    m_analogEnable->setObjectName("analogEnableCheck");
    m_analogSensitivity = new QComboBox(m_analogGroup);
    m_analogSensitivity->setObjectName("analogSensitivityList");
    m_analogSensitivity->addItems({"1" + Degrees, "0.1" + Degrees, "0.01" + Degrees});
    grid->addWidget(m_analogEnable, 0, 0, 1, 3);
    QLabel* sensitivityCaption = Caption("Analog sensitivity:", m_analogGroup);
    grid->addWidget(sensitivityCaption, 1, 0);
    grid->addWidget(m_analogSensitivity, 1, 1, 1, 2);
    m_analogControls = {sensitivityCaption, m_analogSensitivity};
    for (size_t k : {AnalogAt0V, AnalogAt2V5})
    {
        m_fields.Place(k, grid, static_cast<int>(k - AnalogAt0V) + 2, m_analogGroup);
        for (QWidget* widget : m_fields.Widgets(k))
            m_analogControls.push_back(widget);
    }
    grid->setColumnStretch(3, 1);
    connect(m_analogEnable, &QCheckBox::clicked, this, [this] { m_analogEnableClicked = true; });
    connect(m_analogEnable, &QCheckBox::toggled, this, &CTecSettingsPage::ApplyEnableRules);
    return m_analogGroup;
}

QGroupBox* CTecSettingsPage::BuildConstants(const QString& title, size_t first, size_t count)
{
    QGridLayout* grid = nullptr;
    QGroupBox* group = Box(title, grid);
    for (size_t k = first; k < first + count; ++k)
        m_fields.Place(k, grid, static_cast<int>(k - first), group);
    grid->setColumnStretch(3, 1);
    return group;
}

// ---- reading -----------------------------------------------------------------------------------

bool CTecSettingsPage::Load()
{
    return ReadAll<CTEC, SSnapshot>(m_access, &CTecSettingsPage::ReadSnapshot,
                                    [this](const SSnapshot& snapshot) { ApplySnapshot(snapshot); });
}

bool CTecSettingsPage::AnalogOffered() const
{
    return m_analogPresent && Offered(KeyAnalog);
}

CTecSettingsPage::SSnapshot CTecSettingsPage::ReadSnapshot(CTEC& tec)
{
    SSnapshot snapshot;
    snapshot.values.resize(FieldCount);
    snapshot.analogPresent = tec.HasAnalogInterface();
    for (uint32_t key : GroupKeys)
        if (tec.IsSettingHidden(key))
            snapshot.hidden.insert(key);
    for (const SSensorEntry& entry : SensorEntries)
        if (tec.IsSettingHidden(entry.key))
            snapshot.hidden.insert(entry.key);
    // A fan the unit cannot drive is no group to offer.
    if (!tec.IsFanSupported())
        snapshot.hidden.insert(KeyFan);
    // Nor is a heat/cool restriction the unit does not keep: its list would change nothing.
    if (!tec.HasHeatCool())
        snapshot.hidden.insert(KeyHeatCool);
    snapshot.modelCode = tec.GetModelCode();
    const auto offered = [&](uint32_t key) { return snapshot.hidden.count(key) == 0; };
    const auto read = [&](size_t k) { snapshot.values[k] = Known(Rows()[k].get(tec)); };

    snapshot.outputOffMask = tec.GetOutputOffEnable();
    for (size_t k : {TLow, THigh, RLow, RHigh, IteLimit})
        read(k);
    snapshot.sensorType = tec.GetSensorType(true);
    if (float temp = 0, time = 0; tec.GetTolerance(temp, time))
    {
        snapshot.values[TolTemp] = Known(temp);
        snapshot.values[TolTime] = Known(time);
    }
    snapshot.heatCool = tec.GetHeatCool();
    read(CableR);
    snapshot.gain = tec.GetGain();
    if (float p = 0, i = 0, d = 0; tec.GetPID(p, i, d))
        std::tie(snapshot.values[P], snapshot.values[I], snapshot.values[D]) =
            std::tuple{Known(p), Known(i), Known(d)};
    snapshot.fanRead = offered(KeyFan) && tec.GetFan(snapshot.fan);
    if (snapshot.fanRead)
    {
        snapshot.values[FanVolts] = Known(snapshot.fan.voltage);
        snapshot.values[FanDelay] = snapshot.fan.second;
    }
    ReadConstants(tec, snapshot);
    if (snapshot.analogPresent && offered(KeyAnalog))
        ReadAnalog(tec, snapshot);
    for (const SSensorEntry& entry : SensorEntries)
        if (offered(KeySensorSelection) && offered(entry.key) && tec.IsSensorTypeSupported(entry.code))
            snapshot.supportedSensors.insert(entry.code);
    snapshot.rUnit = tec.GetRUnits(snapshot.sensorType);
    ReadBounds(tec, snapshot);
    return snapshot;
}

void CTecSettingsPage::ReadConstants(CTEC& tec, SSnapshot& snapshot)
{
    const auto show = [&snapshot](size_t first, std::initializer_list<float> values)
    {
        size_t k = first;
        for (float value : values)
        {
            snapshot.values[k] = value * ConstantScale[k - ThermA];
            ++k;
        }
    };
    if (float a = 0, b = 0, c = 0; tec.GetThermistorConstants(-1, a, b, c))
        show(ThermA, {a, b, c});
    if (float a = 0, b = 0, c = 0, r0 = 0; tec.GetRTDConstants(-1, a, b, c, r0))
        show(RtdA, {a, b, c, r0});
    for (int set = 0; set < 2; ++set)
        if (float m = 0, offset = 0; tec.GetICConstants(set, m, offset))
            show(set == 0 ? Ad590M : Lm335M, {m, offset});
}

void CTecSettingsPage::ReadAnalog(CTEC& tec, SSnapshot& snapshot)
{
    // Each value that cannot be read stays blank (or unselected) and is not written back.
    snapshot.analogEnableRead = tec.GetAnalogEnable(snapshot.analogEnabled);
    if (int sensitivity = -1; tec.GetAnalogSensitivity(sensitivity))
        snapshot.analogSensitivity = sensitivity;
    if (double celsius = 0.0; tec.GetAnalogTsetAt0V(celsius))
        snapshot.values[AnalogAt0V] = celsius;
    if (double celsius = 0.0; tec.GetAnalogTsetAt2V5(celsius))
        snapshot.values[AnalogAt2V5] = celsius;
}

void CTecSettingsPage::ReadBounds(CTEC& tec, SSnapshot& snapshot)
{
    const auto offered = [&](uint32_t key) { return snapshot.hidden.count(key) == 0; };
    SBounds& bounds = snapshot.bounds;
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
}

void CTecSettingsPage::ApplySnapshot(const SSnapshot& snapshot)
{
    m_analogPresent = snapshot.analogPresent;
    m_hidden = snapshot.hidden;
    m_modelCode = snapshot.modelCode;
    m_outputOffMask = snapshot.outputOffMask;
    m_bounds = snapshot.bounds;
    m_sensorType = snapshot.sensorType;
    m_heatCool = snapshot.heatCool;
    m_gain = snapshot.gain;
    m_analogEnableRead = snapshot.analogEnableRead;
    m_analogEnableClicked = false;
    for (size_t i = 0; i < OutputOffBits.size(); ++i)
        m_outputOffChecks[i]->setChecked((m_outputOffMask & OutputOffBits[i]) != 0);
    for (size_t k = 0; k < FieldCount; ++k)
        m_fields.Show(k, snapshot.values[k]);
    m_heatCoolList->setCurrentIndex(m_heatCool >= 0 && m_heatCool <= 2 ? m_heatCool : -1);
    if (AnalogOffered())
    {
        m_analogEnable->setChecked(snapshot.analogEnabled);
        m_analogSensitivity->setCurrentIndex(snapshot.analogSensitivity.value_or(-1));
    }
    FillLists(snapshot);
    m_rUnit->setText(QString::fromStdString(snapshot.rUnit));
    ApplyEnableRules();
}

void CTecSettingsPage::FillLists(const SSnapshot& snapshot)
{
    m_gainList->clear();
    for (int code : GainCodes)
        m_gainList->addItem(code == GainPID ? QString("PID") : QString::number(code), code);
    m_gainList->setCurrentIndex(m_gainList->findData(m_gain));

    // A unit whose fan reports only on or off has no speed steps.
    m_fanSpeedList->clear();
    m_fanSpeedList->addItem("Off", FanOff);
    if (snapshot.fanRead && snapshot.fan.mode == FanOn)
        m_fanSpeedList->addItem("On", FanOn);
    else
        for (auto [text, code] : {std::pair<const char*, int>{"Slow", FanSlow},
                                  {"Medium", FanMedium},
                                  {"Fast", FanFast},
                                  {"Custom", FanSpeedCustom}})
            m_fanSpeedList->addItem(text, code);
    if (snapshot.fanRead)
    {
        m_fanSpeedList->setCurrentIndex(m_fanSpeedList->findData(snapshot.fan.mode));
        const int mode = snapshot.fan.first;
        m_fanModeList->setCurrentIndex(mode >= 0 && mode < m_fanModeList->count() ? mode : 0);
    }

    m_sensorList->clear();
    if (!Offered(KeySensorSelection))
    {
        m_sensorList->addItem(GetSensorTypeInfo(m_sensorType).name, m_sensorType);
        m_sensorList->setCurrentIndex(0);
        return;
    }
    for (const SSensorEntry& entry : SensorEntries)
        if (snapshot.supportedSensors.count(entry.code) != 0)
            m_sensorList->addItem(GetSensorTypeInfo(entry.code).name, entry.code);
    m_sensorList->setCurrentIndex(m_sensorList->findData(m_sensorType));
}

void CTecSettingsPage::ApplyEnableRules()
{
    for (QCheckBox* check : m_outputOffChecks)
        Lock(check, !Offered(KeyConditions));
    for (size_t k = 0; k < FieldCount; ++k)
        Lock(m_fields.Edit(k), !Offered(Rows()[k].hiddenBy));
    Lock(m_sensorList, !Offered(KeySensorSelection));
    Lock(m_heatCoolList, !Offered(KeyHeatCool));
    Lock(m_gainList, !Offered(KeyGain));
    const bool pid = m_gainList->currentData().toInt() == GainPID && m_gainList->currentIndex() >= 0;
    for (size_t k : {P, I, D})
        m_fields.Edit(k)->setEnabled(pid);

    const bool fanOffered = Offered(KeyFan);
    const int speed = m_fanSpeedList->currentData().toInt();
    Lock(m_fanSpeedList, !fanOffered);
    m_fields.Edit(FanVolts)->setEnabled(fanOffered && speed == FanSpeedCustom);
    m_fanModeList->setEnabled(fanOffered && speed != FanOff);
    m_fields.Edit(FanDelay)->setEnabled(fanOffered && speed != FanOff &&
                                        m_fanModeList->currentIndex() == FanModeDelay);

    m_analogGroup->setVisible(AnalogOffered());
    for (QWidget* control : m_analogControls)
        control->setEnabled(m_analogEnable->isChecked());

    if (m_modelCode == ModelWithoutSensorChoice)
    {
        m_sensorLabel->hide();
        m_sensorList->hide();
        for (size_t k : {CableR, P, I, D})
            for (QWidget* widget : m_fields.Widgets(k))
                widget->hide();
    }
}

void CTecSettingsPage::OnSensorChanged()
{
    CTEC* tec = m_access.Selected();
    if (!tec)
        return;
    const int type = SelectedSensorType();
    m_rUnit->setText(QString::fromStdString(tec->GetRUnits(type)));
    const int precision = tec->GetPrecision(TecQuantityR);
    m_fields.Edit(RLow)->setText(LocaleNumber::Trimmed(tec->GetMinR(type), precision));
    m_fields.Edit(RHigh)->setText(LocaleNumber::Trimmed(tec->GetMaxR(type), precision));
    m_fields.Edit(RLow)->setModified(true);
    m_fields.Edit(RHigh)->setModified(true);
    ApplyEnableRules();
}

int CTecSettingsPage::SelectedSensorType() const
{
    return m_sensorList->currentIndex() >= 0 ? m_sensorList->currentData().toInt() : m_sensorType;
}

int CTecSettingsPage::OutputOffMask() const
{
    // Bits without a box keep what the instrument had.
    int mask = m_outputOffMask;
    for (size_t i = 0; i < OutputOffBits.size(); ++i)
        mask = m_outputOffChecks[i]->isChecked() ? (mask | OutputOffBits[i]) : (mask & ~OutputOffBits[i]);
    return mask;
}

// ---- validation --------------------------------------------------------------------------------

// Both numbers, low below high, then each within its bounds: a limit that may not pass the set point
// (its independence key hidden) stops at it.
bool CTecSettingsPage::CheckPair(size_t low, size_t high, const QString& order, double min, double max,
                                 double setPoint, bool independent, const QString& unit)
{
    CPrompter& prompter = m_context.prompter;
    const auto lowValue = m_fields.Check(low, prompter);
    if (!lowValue)
        return false;
    const auto highValue = m_fields.Check(high, prompter);
    if (!highValue)
        return false;
    if (!(*lowValue < *highValue))
        return FieldPrompts::Refuse(prompter, m_fields.Edit(low), order);
    return m_fields.Check(low, prompter, min, independent ? max : setPoint, unit) &&
           m_fields.Check(high, prompter, independent ? min : setPoint, max, unit);
}

bool CTecSettingsPage::Validate()
{
    // Nothing is written from a page whose values are not in yet.
    if (!IsLoaded())
        return false;
    CTEC* tec = m_access.Selected();
    if (!tec)
        return false;
    CPrompter& prompter = m_context.prompter;
    if (Offered(KeyTLimits) &&
        !CheckPair(TLow, THigh, "The T low limit must be less than the T high limit.", m_bounds.minT,
                   m_bounds.maxT, m_bounds.tSet, Offered(KeyTLimitsIndependent), Degrees))
        return false;
    const int type = SelectedSensorType();
    if (Offered(KeyRLimits) &&
        !CheckPair(RLow, RHigh, "The R low limit must be less than the R high limit.", tec->GetMinR(type),
                   tec->GetMaxR(type), m_bounds.rSet, Offered(KeyRLimitsIndependent), m_rUnit->text()))
        return false;
    // Without a stored maximum (the multi-channel units keep none) the unit bounds the limit itself.
    const double maxIteLimit =
        m_bounds.maxIteLimit > 0.0f ? m_bounds.maxIteLimit : SSettingRow<CTEC>::NoCeiling;
    const double minIteLimit = Offered(KeyIteLimitIndependent) ? Rows()[IteLimit].low : m_bounds.iteSet;
    if (Offered(KeyIteLimit) && !m_fields.Check(IteLimit, prompter, minIteLimit, maxIteLimit))
        return false;
    // Every other edit against its described range where it is offered and usable; the constants only
    // where the user typed.
    for (size_t k : {TolTime, TolTemp, CableR, P, I, D, FanVolts, FanDelay})
        if (Offered(Rows()[k].hiddenBy) && m_fields.Edit(k)->isEnabled() && !m_fields.Edit(k)->isHidden() &&
            !m_fields.Check(k, prompter))
            return false;
    for (size_t k = ThermA; k <= Lm335B; ++k)
        if (Offered(KeyConstants) && m_fields.Modified(k) && !m_fields.Check(k, prompter))
            return false;
    return ValidateAnalog();
}

// Only an enabled input is checked: the values of a disabled one cannot be edited.
bool CTecSettingsPage::ValidateAnalog()
{
    if (!AnalogOffered() || !m_analogEnable->isChecked())
        return true;
    return CheckPair(AnalogAt0V, AnalogAt2V5,
                     "The analog 'Tset at 0V' must be lower than the 'Tset at 2.5V'.", m_bounds.minT,
                     m_bounds.maxT, 0.0, true, Degrees);
}

// ---- writing -----------------------------------------------------------------------------------

void CTecSettingsPage::Write(std::function<void(bool)> done)
{
    CWriteSequence<CTEC> writes;
    AddWrites(writes);
    WriteAll(m_access, writes, std::move(done));
}

void CTecSettingsPage::AddWrites(CWriteSequence<CTEC>& writes)
{
    if (Offered(KeyConditions))
    {
        const int mask = OutputOffMask();
        if (mask != m_outputOffMask)
            writes.Add(
                "output-off conditions", [mask](CTEC& tec) { return tec.SetOutputOffEnable(mask); },
                [this, mask] { m_outputOffMask = mask; });
    }
    AddLimitWrites(writes);
    AddOtherWrites(writes);
    AddAnalogWrites(writes);
    AddFanWrite(writes);
}

void CTecSettingsPage::AddLimitWrites(CWriteSequence<CTEC>& writes)
{
    // What went out is taken as read, so that OK after a refusal sends only what is left.
    const auto taken = [this](std::initializer_list<size_t> fields)
    {
        return [this, list = std::vector<size_t>(fields)]
        {
            for (size_t k : list)
                m_fields.Taken(k);
        };
    };
    const auto value = [this](size_t k) { return static_cast<float>(m_fields.Value(k)); };
    const auto typed = [&](size_t k)
    { return m_fields.Modified(k) ? std::optional<float>(value(k)) : std::nullopt; };
    if (Offered(KeyTLimits) && (m_fields.Modified(TLow) || m_fields.Modified(THigh)))
        writes.AddStep(
            [low = typed(TLow), high = typed(THigh)](CTEC& tec)
            {
                return SendLimitPair(
                    low, high, low ? tec.GetTLowLimit() : 0.0f,
                    [&tec](float v) { return tec.SetTLowLimit(v); },
                    [&tec](float v) { return tec.SetTHighLimit(v); }, "T low limit", "T high limit");
            },
            taken({TLow, THigh}));
    const int type = SelectedSensorType();
    if (Offered(KeySensorSelection) && type != m_sensorType)
        writes.Add(
            "sensor type", [type](CTEC& tec) { return tec.SetSensorType(type); },
            [this, type] { m_sensorType = type; });
    // Both R limits go out when either changed, as the unit checks each against the other.
    if (Offered(KeyRLimits) && (m_fields.Modified(RLow) || m_fields.Modified(RHigh)))
        writes.AddStep(
            [low = value(RLow), high = value(RHigh)](CTEC& tec)
            {
                return SendLimitPair(
                    low, high, tec.GetRLowLimit(), [&tec](float v) { return tec.SetRLowLimit(v); },
                    [&tec](float v) { return tec.SetRHighLimit(v); }, "R low limit", "R high limit");
            },
            taken({RLow, RHigh}));
    if (Offered(KeyIteLimit) && m_fields.Modified(IteLimit))
        Rows()[IteLimit].AddWrite(writes, value(IteLimit), taken({IteLimit}));
}

// The rest goes out without a check of its own: a refusal shows in the instrument's error log.
void CTecSettingsPage::AddOtherWrites(CWriteSequence<CTEC>& writes)
{
    const auto value = [this](size_t k) { return static_cast<float>(m_fields.Value(k)); };
    const auto modified = [this](size_t first, size_t last)
    {
        for (size_t k = first; k <= last; ++k)
            if (m_fields.Modified(k))
                return true;
        return false;
    };
    if (Offered(KeyTolerance) && modified(TolTime, TolTemp))
        AddUnchecked(writes, [temp = value(TolTemp), time = value(TolTime)](CTEC& tec)
                     { tec.SetTolerance(temp, time); });
    if (Offered(KeyCableR) && !m_fields.Edit(CableR)->isHidden() && m_fields.Modified(CableR))
        Rows()[CableR].AddWrite(writes, value(CableR), {});
    if (Offered(KeyHeatCool) && m_heatCool >= 0 && m_heatCool <= 2 &&
        m_heatCoolList->currentIndex() != m_heatCool)
        AddUnchecked(writes,
                     [choice = m_heatCoolList->currentIndex()](CTEC& tec) { tec.SetHeatCool(choice); });
    if (Offered(KeyGain))
    {
        const int gain = m_gainList->currentData().toInt();
        if (m_gainList->currentIndex() >= 0 && gain != m_gain)
            AddUnchecked(writes, [gain](CTEC& tec) { tec.SetGain(gain); });
        if (gain == GainPID && modified(P, D))
            AddUnchecked(writes,
                         [p = value(P), i = value(I), d = value(D)](CTEC& tec) { tec.SetPID(p, i, d); });
    }
    if (!Offered(KeyConstants))
        return;
    const auto scaled = [this](size_t k)
    { return static_cast<float>(m_fields.Value(k) / ConstantScale[k - ThermA]); };
    if (modified(ThermA, ThermC))
        AddUnchecked(writes, [a = scaled(ThermA), b = scaled(ThermB), c = scaled(ThermC)](CTEC& tec)
                     { tec.SetThermistorConstants(-1, a, b, c); });
    if (modified(RtdA, RtdR0))
        AddUnchecked(writes, [a = scaled(RtdA), b = scaled(RtdB), c = scaled(RtdC),
                              r0 = scaled(RtdR0)](CTEC& tec) { tec.SetRTDConstants(-1, a, b, c, r0); });
    for (const auto& [first, set] : {std::pair{Ad590M, 0}, std::pair{Lm335M, 1}})
        if (modified(first, first + 1))
            AddUnchecked(writes, [set = set, m = scaled(first), offset = scaled(first + 1)](CTEC& tec)
                         { tec.SetICConstants(set, m, offset); });
}

// The unit follows its input from the moment it is enabled, so an enabled input gets its new scaling
// first and the enable last; one being switched off leaves the input before its scaling changes.
void CTecSettingsPage::AddAnalogWrites(CWriteSequence<CTEC>& writes)
{
    if (!AnalogOffered())
        return;
    const bool enable = m_analogEnable->isChecked();
    // An unread flag the user did not touch is left as the unit has it.
    const bool sendEnable = m_analogEnableRead || m_analogEnableClicked;
    auto addEnable = [&]
    {
        if (sendEnable)
            writes.Add("'Enable Analog Interface' setting",
                       [enable](CTEC& tec) { return tec.SetAnalogEnable(enable); });
    };
    if (!enable)
        addEnable();
    // A blank edit holds a value that could not be read.
    if (const std::optional<double> celsius = LocaleNumber::Parse(m_fields.Edit(AnalogAt0V)->text()))
        writes.Add("analog 'Tset at 0V'", [v = *celsius](CTEC& tec) { return tec.SetAnalogTsetAt0V(v); });
    if (const std::optional<double> celsius = LocaleNumber::Parse(m_fields.Edit(AnalogAt2V5)->text()))
        writes.Add("analog 'Tset at 2.5V'", [v = *celsius](CTEC& tec) { return tec.SetAnalogTsetAt2V5(v); });
    if (const int sensitivity = m_analogSensitivity->currentIndex(); sensitivity >= 0)
        writes.Add("analog sensitivity",
                   [sensitivity](CTEC& tec) { return tec.SetAnalogSensitivity(sensitivity); });
    if (enable)
        addEnable();
}

void CTecSettingsPage::AddFanWrite(CWriteSequence<CTEC>& writes)
{
    if (!Offered(KeyFan))
        return;
    bool ok = false;
    const int delay = LocaleNumber::Locale().toInt(m_fields.Edit(FanDelay)->text().trimmed(), &ok);
    AddUnchecked(writes, [speed = m_fanSpeedList->currentData().toInt(),
                          volts = static_cast<float>(m_fields.Value(FanVolts)),
                          mode = std::max(0, m_fanModeList->currentIndex()),
                          delay = ok ? delay : 0](CTEC& tec) { tec.SetFan(speed, volts, mode, delay); });
}
