#include "ui/dialogs/TecSettingsPage.h"

#include "instrument/tec/TEC.h"
#include "instrument/tec/TecTypes.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/FieldPrompts.h"
#include "ui/dialogs/TecSettingRows.h"
#include "ui/widgets/LocaleNumber.h"
#include "ui/widgets/OutputOffBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

using namespace TecSettingRows;
using SettingLayout::Lock;
using SettingLayout::PlaceList;

namespace
{
const QString Degrees = QString::fromUtf8("\u00b0C");
} // namespace

CTecSettingsPage::CTecSettingsPage(const SUiContext& context, STecChannelAccess access, QWidget* parent)
    : CSettingsPage(context, access, parent), m_access(std::move(access)),
      m_fields(Rows(), CSettingFields::ELayout::Compact)
{
    setObjectName("tecSettingsPage");
    Build();
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
    m_conditions = new COutputOffBoxes(Conditions(), 4, Form());
    first->addWidget(m_conditions);
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
    m_sensorList = PlaceList(grid, 0, "Sensor:", "sensorList");
    m_sensorLabel = grid->itemAtPosition(0, 0)->widget();
    m_fields.Place(TolTime, grid, 1, group);
    m_fields.Place(TolTemp, grid, 2, group);
    m_heatCoolList =
        PlaceList(grid, 3, "Heat/Cool Mode:", "heatCoolList", {"Heat/Cool", "Heat Only", "Cool Only"});
    m_fields.Place(CableR, grid, 4, group);
    connect(m_sensorList, qOverload<int>(&QComboBox::activated), this, &CTecSettingsPage::OnSensorChanged);
    return group;
}

QGroupBox* CTecSettingsPage::BuildGain()
{
    QGridLayout* grid = nullptr;
    QGroupBox* group = Box("Gain Settings", grid);
    m_gainList = PlaceList(grid, 0, "Gain:", "gainList", {}, 1);
    for (size_t k : {P, I, D})
        m_fields.Place(k, grid, static_cast<int>(k - P) + 1, group);
    connect(m_gainList, qOverload<int>(&QComboBox::activated), this, &CTecSettingsPage::ApplyEnableRules);
    return group;
}

QGroupBox* CTecSettingsPage::BuildFan()
{
    QGridLayout* grid = nullptr;
    QGroupBox* group = Box("External Fan Settings", grid);
    m_fanSpeedList = PlaceList(grid, 0, "Speed:", "fanSpeedList");
    m_fields.Place(FanVolts, grid, 1, group);
    m_fanModeList = PlaceList(grid, 2, "Mode:", "fanModeList", {"Auto", "On", "Delay", "Cool", "Heat"});
    m_fields.Place(FanDelay, grid, 3, group);
    for (QComboBox* list : {m_fanSpeedList, m_fanModeList})
        connect(list, qOverload<int>(&QComboBox::activated), this, &CTecSettingsPage::ApplyEnableRules);
    return group;
}

QGroupBox* CTecSettingsPage::BuildAnalog()
{
    QGridLayout* grid = nullptr;
    m_analogGroup = Box("Analog Interface", grid);
    m_analogGroup->setObjectName("analogGroup");
    m_analogEnable = new QCheckBox("Enable Analog Interface", m_analogGroup);
    m_analogEnable->setObjectName("analogEnableCheck");
    grid->addWidget(m_analogEnable, 0, 0, 1, 3);
    m_analogSensitivity = PlaceList(grid, 1, "Analog sensitivity:", "analogSensitivityList",
                                    {"1" + Degrees, "0.1" + Degrees, "0.01" + Degrees});
    m_analogControls = {grid->itemAtPosition(1, 0)->widget(), m_analogSensitivity};
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
    return m_read.analogPresent && Offered(KeyAnalog);
}

CTecSettingsPage::SSnapshot CTecSettingsPage::ReadSnapshot(CTEC& tec)
{
    SSnapshot snapshot;
    snapshot.values.resize(FieldCount);
    snapshot.analogPresent = tec.HasAnalogInterface();
    snapshot.hidden = ReadHidden(tec);
    snapshot.modelCode = tec.GetModelCode();
    const auto offered = [&](uint32_t key) { return snapshot.hidden.count(key) == 0; };
    const auto read = [&](size_t k) { snapshot.values[k] = Rows()[k].get(tec); };

    snapshot.outputOffMask = tec.GetOutputOffEnable();
    for (size_t k : {TLow, THigh, RLow, RHigh, IteLimit})
        read(k);
    snapshot.sensorType = tec.GetSensorType(true);
    Groups()[ToleranceGroup].Read(tec, snapshot.values);
    snapshot.heatCool = tec.GetHeatCool();
    read(CableR);
    snapshot.gain = tec.GetGain();
    Groups()[PidGroup].Read(tec, snapshot.values);
    snapshot.fanRead = offered(KeyFan) && tec.GetFan(snapshot.fan);
    if (snapshot.fanRead)
    {
        snapshot.values[FanVolts] = snapshot.fan.voltage;
        snapshot.values[FanDelay] = snapshot.fan.second;
    }
    for (size_t group : {ThermistorGroup, RtdGroup, Ad590Group, Lm335Group})
        Groups()[group].Read(tec, snapshot.values);
    if (snapshot.analogPresent && offered(KeyAnalog))
        ReadAnalog(tec, snapshot);
    for (const SSensorEntry& entry : SensorEntries)
        if (offered(KeySensorSelection) && offered(entry.key) && tec.IsSensorTypeSupported(entry.code))
            snapshot.supportedSensors.insert(entry.code);
    snapshot.rUnit = tec.GetRUnits(snapshot.sensorType);
    snapshot.bounds = ReadBounds(tec, snapshot.hidden);
    return snapshot;
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

void CTecSettingsPage::ApplySnapshot(const SSnapshot& snapshot)
{
    m_read = snapshot;
    m_analogEnableClicked = false;
    m_conditions->Show(snapshot.outputOffMask);
    for (size_t k = 0; k < FieldCount; ++k)
        m_fields.Show(k, snapshot.values[k]);
    m_heatCoolList->setCurrentIndex(HeatCoolRead() ? m_read.heatCool : -1);
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
    SettingLayout::Fill(m_gainList, GainItems(), m_read.gain);
    // A unit whose fan reports only on or off has no speed steps.
    SettingLayout::Fill(m_fanSpeedList, FanSpeedItems(snapshot.fanRead && snapshot.fan.mode == FanOn),
                        snapshot.fanRead ? std::optional<int>(snapshot.fan.mode) : std::nullopt);
    if (snapshot.fanRead)
    {
        const int mode = snapshot.fan.first;
        m_fanModeList->setCurrentIndex(mode >= 0 && mode < m_fanModeList->count() ? mode : 0);
    }
    // Without a sensor choice the list holds the type the unit has.
    std::vector<std::pair<QString, int>> sensors;
    if (!Offered(KeySensorSelection))
        sensors.emplace_back(GetSensorTypeInfo(m_read.sensorType).name, m_read.sensorType);
    for (const SSensorEntry& entry : SensorEntries)
        if (snapshot.supportedSensors.count(entry.code) != 0)
            sensors.emplace_back(GetSensorTypeInfo(entry.code).name, entry.code);
    SettingLayout::Fill(m_sensorList, sensors, m_read.sensorType);
}

void CTecSettingsPage::ApplyEnableRules()
{
    Lock(m_conditions, !Offered(KeyConditions));
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

    if (m_read.modelCode == ModelWithoutSensorChoice)
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
    return m_sensorList->currentIndex() >= 0 ? m_sensorList->currentData().toInt() : m_read.sensorType;
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
        !CheckPair(TLow, THigh, "The T low limit must be less than the T high limit.", m_read.bounds.minT,
                   m_read.bounds.maxT, m_read.bounds.tSet, Offered(KeyTLimitsIndependent), Degrees))
        return false;
    const int type = SelectedSensorType();
    if (Offered(KeyRLimits) &&
        !CheckPair(RLow, RHigh, "The R low limit must be less than the R high limit.", tec->GetMinR(type),
                   tec->GetMaxR(type), m_read.bounds.rSet, Offered(KeyRLimitsIndependent), m_rUnit->text()))
        return false;
    // Without a stored maximum (the multi-channel units keep none) the unit bounds the limit itself.
    const double maxIteLimit =
        m_read.bounds.maxIteLimit > 0.0f ? m_read.bounds.maxIteLimit : SSettingRow<CTEC>::NoCeiling;
    const double minIteLimit = Offered(KeyIteLimitIndependent) ? Rows()[IteLimit].low : m_read.bounds.iteSet;
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
                     "The analog 'Tset at 0V' must be lower than the 'Tset at 2.5V'.", m_read.bounds.minT,
                     m_read.bounds.maxT, 0.0, true, Degrees);
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
    if (Offered(KeyConditions) && m_conditions->Changed())
        writes.Add(
            "output-off conditions",
            [mask = m_conditions->Mask()](CTEC& tec) { return tec.SetOutputOffEnable(mask); },
            [this, mask = m_conditions->Mask()] { m_conditions->Taken(mask); });
    AddLimitWrites(writes);
    AddOtherWrites(writes);
    AddAnalogWrites(writes);
    AddFanWrite(writes);
}

void CTecSettingsPage::AddLimitWrites(CWriteSequence<CTEC>& writes)
{
    // A pair goes out when either limit changed: only what changed, or both where the unit checks each
    // against the other (the R limits). What went out is taken as read, so that OK after a refusal
    // sends only what is left.
    const auto addPair = [&](size_t low, bool both)
    {
        const auto typed = [&](size_t k)
        { return both || m_fields.Modified(k) ? std::optional<double>(m_fields.Value(k)) : std::nullopt; };
        if (m_fields.AnyModified({low, low + 1}))
            writes.AddStep([low, lowValue = typed(low), highValue = typed(low + 1)](CTEC& tec)
                           { return SendLimitPair(tec, low, lowValue, highValue); },
                           m_fields.TakenLater({low, low + 1}));
    };
    if (Offered(KeyTLimits))
        addPair(TLow, false);
    const int type = SelectedSensorType();
    if (Offered(KeySensorSelection) && type != m_read.sensorType)
        writes.Add(
            "sensor type", [type](CTEC& tec) { return tec.SetSensorType(type); },
            [this, type] { m_read.sensorType = type; });
    if (Offered(KeyRLimits))
        addPair(RLow, true);
    if (Offered(KeyIteLimit) && m_fields.Modified(IteLimit))
        Rows()[IteLimit].AddWrite(writes, m_fields.Value(IteLimit), m_fields.TakenLater({IteLimit}));
}

// The rest goes out without a check of its own: a refusal shows in the instrument's error log.
void CTecSettingsPage::AddOtherWrites(CWriteSequence<CTEC>& writes)
{
    const auto addGroup = [&](size_t group)
    {
        const std::vector<size_t>& fields = Groups()[group].fields;
        if (m_fields.AnyModified(fields))
            Groups()[group].AddWrite(writes, m_fields.Values(fields), {});
    };
    if (Offered(KeyTolerance))
        addGroup(ToleranceGroup);
    if (Offered(KeyCableR) && !m_fields.Edit(CableR)->isHidden() && m_fields.Modified(CableR))
        Rows()[CableR].AddWrite(writes, m_fields.Value(CableR), {});
    if (Offered(KeyHeatCool) && HeatCoolRead() && m_heatCoolList->currentIndex() != m_read.heatCool)
        writes.AddUnchecked([choice = m_heatCoolList->currentIndex()](CTEC& tec)
                            { tec.SetHeatCool(choice); });
    if (Offered(KeyGain))
    {
        const int gain = m_gainList->currentData().toInt();
        if (m_gainList->currentIndex() >= 0 && gain != m_read.gain)
            writes.AddUnchecked([gain](CTEC& tec) { tec.SetGain(gain); });
        if (gain == GainPID)
            addGroup(PidGroup);
    }
    if (Offered(KeyConstants))
        for (size_t group : {ThermistorGroup, RtdGroup, Ad590Group, Lm335Group})
            addGroup(group);
}

// The unit follows its input from the moment it is enabled, so an enabled input gets its new scaling
// first and the enable last; one being switched off leaves the input before its scaling changes.
void CTecSettingsPage::AddAnalogWrites(CWriteSequence<CTEC>& writes)
{
    if (!AnalogOffered())
        return;
    const bool enable = m_analogEnable->isChecked();
    // An unread flag the user did not touch is left as the unit has it.
    const bool sendEnable = m_read.analogEnableRead || m_analogEnableClicked;
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
    writes.AddUnchecked(
        [speed = m_fanSpeedList->currentData().toInt(), volts = static_cast<float>(m_fields.Value(FanVolts)),
         mode = std::max(0, m_fanModeList->currentIndex()), delay = ok ? delay : 0](CTEC& tec)
        { tec.SetFan(speed, volts, mode, delay); });
}
