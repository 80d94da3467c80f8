#include "ui/dialogs/TECSettingsDlg.h"

#include "instrument/session/InstrBase.h"
#include "instrument/tec/TEC.h"
#include "instrument/tec/TecTypes.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/FieldPrompts.h"
#include "ui/dialogs/PollPause.h"
#include "ui/widgets/LocaleNumber.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>

namespace
{
const QString Degrees = QString::fromUtf8("\u00b0C");
const QString Ohms = QString::fromUtf8("\u03a9");

// Groups a model may hide (IsSettingHidden), by key.
constexpr uint32_t KeyConditions = 0xF0001110;
constexpr uint32_t KeyTLimits = 0xF0001040;
constexpr uint32_t KeyTLimitsIndependent = 0xF0001008;
constexpr uint32_t KeyRLimits = 0xF0001080;
constexpr uint32_t KeyRLimitsIndependent = 0xF0001010;
constexpr uint32_t KeyIteLimit = 0xF0001020;
constexpr uint32_t KeyIteLimitIndependent = 0xF0001004;
constexpr uint32_t KeyTolerance = 0xF0000010;
constexpr uint32_t KeyCableR = 0xF0001220;
constexpr uint32_t KeyHeatCool = 0xF0001180;
constexpr uint32_t KeyGain = 0xF0001140;
constexpr uint32_t KeySensorSelection = 0xF0001304;
constexpr uint32_t KeyConstants = 0xF0001201;
constexpr uint32_t KeyFan = 0xF0001204;
constexpr uint32_t KeyAnalog = 0xF0001101;
constexpr std::array<uint32_t, 15> GroupKeys = {KeyConditions,
                                                KeyTLimits,
                                                KeyTLimitsIndependent,
                                                KeyRLimits,
                                                KeyRLimitsIndependent,
                                                KeyIteLimit,
                                                KeyIteLimitIndependent,
                                                KeyTolerance,
                                                KeyCableR,
                                                KeyHeatCool,
                                                KeyGain,
                                                KeySensorSelection,
                                                KeyConstants,
                                                KeyFan,
                                                KeyAnalog};

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

constexpr std::array<int, 9> GainCodes = {1, 3, 5, 10, 30, 50, 100, 300, 0};
constexpr int GainPID = 0;
constexpr int FanSpeedCustom = FanVoltage;
constexpr int FanModeDelay = 2;

// Powers of ten between the constants and the mantissas the edits hold.
constexpr std::array<double, 3> ThermistorScale = {1e3, 1e4, 1e7};
constexpr std::array<double, 4> RtdScale = {1e3, 1e6, 1e12, 1.0};

QString Constant(double value)
{
    return LocaleNumber::Locale().toString(value, 'g', 7);
}

void SetValue(QLineEdit* edit, double value)
{
    edit->setText(std::isfinite(value) && value > CTEC::NoValue / 10 ? LocaleNumber::Bound(value)
                                                                     : QString());
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
} // namespace

CTECSettingsDlg::CTECSettingsDlg(const SUiContext& context, STecChannelAccess access, QWidget* parent)
    : QDialog(parent), m_context(context), m_access(std::move(access))
{
    setObjectName("tecSettingsDlg");
    setWindowTitle(m_access.channelCount > 1 ? QString("TEC Chan %1").arg(m_access.channelIndex + 1)
                                             : QString("TEC Settings"));
    Build();
    m_watch.setInterval(WatchMs);
    connect(&m_watch, &QTimer::timeout, this, &CTECSettingsDlg::OnWatchTick);
}

QLineEdit* CTECSettingsDlg::NewEdit(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaximumWidth(110);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

void CTECSettingsDlg::Build()
{
    auto* columns = new QHBoxLayout;
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
    third->addWidget(BuildConstants("Thermistor Constants", {"A:", "B:", "C:"}, {"-3", "-4", "-7"},
                                    {"thermAEdit", "thermBEdit", "thermCEdit"}, m_thermistor));
    third->addWidget(BuildConstants("RTD Constants", {"A:", "B:", "C:", "Ro:"}, {"-3", "-6", "-12", ""},
                                    {"rtdAEdit", "rtdBEdit", "rtdCEdit", "rtdR0Edit"}, m_rtd));
    third->addWidget(
        BuildConstants("AD590 Constants", {"M:", "B:"}, {"", ""}, {"ad590MEdit", "ad590BEdit"}, m_ad590));
    third->addWidget(
        BuildConstants("LM335 Constants", {"M:", "B:"}, {"", ""}, {"lm335MEdit", "lm335BEdit"}, m_lm335));
    third->addStretch(1);
    columns->addLayout(first);
    columns->addLayout(second);
    columns->addLayout(third);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_okButton = buttons->button(QDialogButtonBox::Ok);
    m_okButton->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &CTECSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTECSettingsDlg::reject);
    m_form = new QWidget(this);
    m_form->setObjectName("settingsForm");
    columns->setContentsMargins(0, 0, 0, 0);
    m_form->setLayout(columns);
    m_readingLabel = new QLabel(ReadingText, this);
    m_readingLabel->setObjectName("readingLabel");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_readingLabel);
    bottom->addWidget(buttons, 1);
    auto* root = new QVBoxLayout(this);
    root->addWidget(m_form);
    root->addLayout(bottom);
}

QGroupBox* CTECSettingsDlg::BuildConditions()
{
    auto* group = new QGroupBox("Conditions That Turn Output Off", this);
    auto* grid = new QGridLayout(group);
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

QGroupBox* CTECSettingsDlg::BuildLimits()
{
    // Only a frame for the three limit groups below it.
    auto* group = new QGroupBox(this);
    group->setFlat(true);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    auto range = [this, column](const QString& title, const char* lowName, const char* highName,
                                QLineEdit*& low, QLineEdit*& high, QLabel*& unit)
    {
        auto* box = new QGroupBox(title, this);
        auto* grid = new QGridLayout(box);
        low = NewEdit(lowName, box);
        high = NewEdit(highName, box);
        unit = new QLabel(box);
        grid->addWidget(low, 0, 0);
        grid->addWidget(new QLabel("to", box), 0, 1);
        grid->addWidget(high, 0, 2);
        grid->addWidget(unit, 0, 3);
        grid->setColumnStretch(4, 1);
        column->addWidget(box);
        return grid;
    };
    QLabel* tUnit = nullptr;
    range("Temperature Limits", "tLowEdit", "tHighEdit", m_tLow, m_tHigh, tUnit);
    tUnit->setText(Degrees);
    QGridLayout* sensorGrid = range("Sensor Limits", "rLowEdit", "rHighEdit", m_rLow, m_rHigh, m_rUnit);
    m_rUnit->setObjectName("rUnitLabel");
    auto* note = new QLabel("Note: changing sensor types resets the sensor limits.", this);
    note->setWordWrap(true);
    sensorGrid->addWidget(note, 1, 0, 1, 5);

    auto* current = new QGroupBox("Current Limit", this);
    auto* row = new QHBoxLayout(current);
    m_iteLimit = NewEdit("iteLimitEdit", current);
    row->addWidget(m_iteLimit);
    row->addWidget(new QLabel("Amps", current));
    row->addStretch(1);
    column->addWidget(current);
    return group;
}

QGroupBox* CTECSettingsDlg::BuildMisc()
{
    auto* group = new QGroupBox("Misc Settings", this);
    auto* grid = new QGridLayout(group);
    m_sensorLabel = Caption("Sensor:", group);
    m_sensorList = new QComboBox(group);
    m_sensorList->setObjectName("sensorList");
    m_tolTime = NewEdit("tolTimeEdit", group);
    m_tolTemp = NewEdit("tolTempEdit", group);
    m_heatCoolList = new QComboBox(group);
    m_heatCoolList->setObjectName("heatCoolList");
    m_heatCoolList->addItems({"Heat/Cool", "Heat Only", "Cool Only"});
    m_cableR = NewEdit("cableREdit", group);
    auto* cableCaption = Caption("Cable R:", group);
    auto* cableUnit = new QLabel(Ohms, group);
    m_cableRRow = {cableCaption, m_cableR, cableUnit};
    grid->addWidget(m_sensorLabel, 0, 0);
    grid->addWidget(m_sensorList, 0, 1, 1, 2);
    grid->addWidget(Caption("Tol Time:", group), 1, 0);
    grid->addWidget(m_tolTime, 1, 1);
    grid->addWidget(new QLabel("sec", group), 1, 2);
    grid->addWidget(Caption("Tol Temp:", group), 2, 0);
    grid->addWidget(m_tolTemp, 2, 1);
    grid->addWidget(new QLabel(Degrees, group), 2, 2);
    grid->addWidget(Caption("Heat/Cool Mode:", group), 3, 0);
    grid->addWidget(m_heatCoolList, 3, 1, 1, 2);
    grid->addWidget(cableCaption, 4, 0);
    grid->addWidget(m_cableR, 4, 1);
    grid->addWidget(cableUnit, 4, 2);
    connect(m_sensorList, qOverload<int>(&QComboBox::activated), this, &CTECSettingsDlg::OnSensorChanged);
    return group;
}

QGroupBox* CTECSettingsDlg::BuildGain()
{
    auto* group = new QGroupBox("Gain Settings", this);
    auto* grid = new QGridLayout(group);
    m_gainList = new QComboBox(group);
    m_gainList->setObjectName("gainList");
    grid->addWidget(Caption("Gain:", group), 0, 0);
    grid->addWidget(m_gainList, 0, 1);
    int row = 1;
    for (auto [caption, name, edit] : {std::tuple{"P =", "pEdit", &m_p}, std::tuple{"I =", "iEdit", &m_i},
                                       std::tuple{"D =", "dEdit", &m_d}})
    {
        *edit = NewEdit(name, group);
        QLabel* label = Caption(caption, group);
        grid->addWidget(label, row, 0);
        grid->addWidget(*edit, row, 1);
        m_pidRows.push_back(label);
        m_pidRows.push_back(*edit);
        ++row;
    }
    connect(m_gainList, qOverload<int>(&QComboBox::activated), this, &CTECSettingsDlg::ApplyEnableRules);
    return group;
}

QGroupBox* CTECSettingsDlg::BuildFan()
{
    auto* group = new QGroupBox("External Fan Settings", this);
    auto* grid = new QGridLayout(group);
    m_fanSpeedList = new QComboBox(group);
    m_fanSpeedList->setObjectName("fanSpeedList");
    m_fanVoltage = NewEdit("fanVoltageEdit", group);
    m_fanModeList = new QComboBox(group);
    m_fanModeList->setObjectName("fanModeList");
    m_fanModeList->addItems({"Auto", "On", "Delay", "Cool", "Heat"});
    m_fanDelay = NewEdit("fanDelayEdit", group);
    grid->addWidget(Caption("Speed:", group), 0, 0);
    grid->addWidget(m_fanSpeedList, 0, 1, 1, 2);
    grid->addWidget(Caption("Voltage:", group), 1, 0);
    grid->addWidget(m_fanVoltage, 1, 1);
    grid->addWidget(new QLabel("V", group), 1, 2);
    grid->addWidget(Caption("Mode:", group), 2, 0);
    grid->addWidget(m_fanModeList, 2, 1, 1, 2);
    grid->addWidget(Caption("Delay:", group), 3, 0);
    grid->addWidget(m_fanDelay, 3, 1);
    grid->addWidget(new QLabel("min", group), 3, 2);
    connect(m_fanSpeedList, qOverload<int>(&QComboBox::activated), this, &CTECSettingsDlg::ApplyEnableRules);
    connect(m_fanModeList, qOverload<int>(&QComboBox::activated), this, &CTECSettingsDlg::ApplyEnableRules);
    return group;
}

QGroupBox* CTECSettingsDlg::BuildAnalog()
{
    m_analogGroup = new QGroupBox("Analog Interface", this);
    m_analogGroup->setObjectName("analogGroup");
    auto* grid = new QGridLayout(m_analogGroup);
    m_analogEnable = new QCheckBox("Enable Analog Interface", m_analogGroup);
    m_analogEnable->setObjectName("analogEnableCheck");
    m_analogSensitivity = new QComboBox(m_analogGroup);
    m_analogSensitivity->setObjectName("analogSensitivityList");
    m_analogSensitivity->addItems({"1" + Degrees, "0.1" + Degrees, "0.01" + Degrees});
    m_analogAt0V = NewEdit("analogTsetAt0VEdit", m_analogGroup);
    m_analogAt2V5 = NewEdit("analogTsetAt2V5Edit", m_analogGroup);
    grid->addWidget(m_analogEnable, 0, 0, 1, 3);
    QLabel* sensitivityCaption = Caption("Analog sensitivity:", m_analogGroup);
    grid->addWidget(sensitivityCaption, 1, 0);
    grid->addWidget(m_analogSensitivity, 1, 1, 1, 2);
    m_analogControls = {sensitivityCaption, m_analogSensitivity};
    int row = 2;
    for (auto [caption, edit] :
         {std::pair{"Tset at 0V In:", m_analogAt0V}, std::pair{"Tset at 2.5V In:", m_analogAt2V5}})
    {
        QLabel* label = Caption(caption, m_analogGroup);
        auto* unit = new QLabel(Degrees, m_analogGroup);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(unit, row, 2);
        m_analogControls.insert(m_analogControls.end(), {label, edit, unit});
        ++row;
    }
    grid->setColumnStretch(3, 1);
    connect(m_analogEnable, &QCheckBox::clicked, this, [this] { m_analogEnableClicked = true; });
    connect(m_analogEnable, &QCheckBox::toggled, this, &CTECSettingsDlg::ApplyEnableRules);
    return m_analogGroup;
}

QGroupBox* CTECSettingsDlg::BuildConstants(const QString& title, const QStringList& captions,
                                           const QStringList& powers, const QStringList& names,
                                           std::vector<QLineEdit*>& edits)
{
    auto* group = new QGroupBox(title, this);
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < captions.size(); ++i)
    {
        QLineEdit* edit = NewEdit(names[i].toLatin1().constData(), group);
        edits.push_back(edit);
        grid->addWidget(Caption(captions[i], group), i, 0);
        grid->addWidget(edit, i, 1);
        if (!powers[i].isEmpty())
            grid->addWidget(new QLabel(QString("x10<sup>%1</sup>").arg(powers[i]), group), i, 2);
        else if (captions[i] == "Ro:")
        {
            m_r0Unit = new QLabel(Ohms, group);
            grid->addWidget(m_r0Unit, i, 2);
        }
    }
    grid->setColumnStretch(3, 1);
    m_constantGroups.push_back(group);
    return group;
}

int CTECSettingsDlg::exec()
{
    if (!Load())
    {
        setResult(ClosedNoChannel);
        return ClosedNoChannel;
    }
    return QDialog::exec();
}

bool CTECSettingsDlg::Load()
{
    CTEC* tec = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!tec || !link)
        return false;
    m_loaded = false;
    ShowBusy(ReadingText);
    CInstrBase* session = m_access.Session();
    link.Call(
        this,
        [tec, session]
        {
            // One group with polling paused, as the page has always read.
            session->HoldPause(CPollPause::TimeoutMs);
            SSnapshot snapshot = ReadSnapshot(*tec);
            session->ReleasePause();
            return snapshot;
        },
        [this](const SSnapshot& snapshot)
        {
            ApplySnapshot(snapshot);
            m_loaded = true;
            ShowBusy({});
            emit loaded();
        });
    m_watch.start();
    return true;
}

void CTECSettingsDlg::ShowBusy(const QString& doing)
{
    const bool busy = !doing.isEmpty();
    m_writing = doing == WritingText;
    m_readingLabel->setText(doing);
    m_readingLabel->setVisible(busy);
    m_form->setEnabled(!busy);
    m_okButton->setEnabled(!busy);
}

bool CTECSettingsDlg::AnalogOffered() const
{
    return m_analogPresent && Offered(KeyAnalog);
}

CTECSettingsDlg::SSnapshot CTECSettingsDlg::ReadSnapshot(CTEC& tec)
{
    SSnapshot snapshot;
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

    snapshot.outputOffMask = tec.GetOutputOffEnable();
    snapshot.tLow = tec.GetTLowLimit();
    snapshot.tHigh = tec.GetTHighLimit();
    snapshot.rLow = tec.GetRLowLimit();
    snapshot.rHigh = tec.GetRHighLimit();
    snapshot.iteLimit = tec.GetITELimit();
    snapshot.sensorType = tec.GetSensorType(true);
    snapshot.toleranceRead = tec.GetTolerance(snapshot.tolerance, snapshot.toleranceSeconds);
    snapshot.heatCool = tec.GetHeatCool();
    snapshot.cableR = tec.GetCableR();
    snapshot.gain = tec.GetGain();
    snapshot.pidRead = tec.GetPID(snapshot.p, snapshot.i, snapshot.d);
    snapshot.fanRead = offered(KeyFan) && tec.GetFan(snapshot.fan);
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

void CTECSettingsDlg::ReadBounds(CTEC& tec, SSnapshot& snapshot)
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

void CTECSettingsDlg::ReadConstants(CTEC& tec, SSnapshot& snapshot)
{
    auto& [a, b, c] = snapshot.thermistor;
    snapshot.thermistorRead = tec.GetThermistorConstants(-1, a, b, c);
    auto& [ra, rb, rc, r0] = snapshot.rtd;
    snapshot.rtdRead = tec.GetRTDConstants(-1, ra, rb, rc, r0);
    for (int set = 0; set < 2; ++set)
    {
        auto& [m, offset] = snapshot.ic[static_cast<size_t>(set)];
        snapshot.icRead[static_cast<size_t>(set)] = tec.GetICConstants(set, m, offset);
    }
}

void CTECSettingsDlg::ReadAnalog(CTEC& tec, SSnapshot& snapshot)
{
    // Each value that cannot be read stays blank (or unselected) and is not written back.
    snapshot.analogEnableRead = tec.GetAnalogEnable(snapshot.analogEnabled);
    if (int sensitivity = -1; tec.GetAnalogSensitivity(sensitivity))
        snapshot.analogSensitivity = sensitivity;
    if (double celsius = 0.0; tec.GetAnalogTsetAt0V(celsius))
        snapshot.analogAt0V = celsius;
    if (double celsius = 0.0; tec.GetAnalogTsetAt2V5(celsius))
        snapshot.analogAt2V5 = celsius;
}

void CTECSettingsDlg::ApplySnapshot(const SSnapshot& snapshot)
{
    m_analogPresent = snapshot.analogPresent;
    m_hidden = snapshot.hidden;
    m_modelCode = snapshot.modelCode;
    m_outputOffMask = snapshot.outputOffMask;
    m_bounds = snapshot.bounds;
    for (size_t i = 0; i < OutputOffBits.size(); ++i)
        m_outputOffChecks[i]->setChecked((m_outputOffMask & OutputOffBits[i]) != 0);
    SetValue(m_tLow, snapshot.tLow);
    SetValue(m_tHigh, snapshot.tHigh);
    SetValue(m_rLow, snapshot.rLow);
    SetValue(m_rHigh, snapshot.rHigh);
    SetValue(m_iteLimit, snapshot.iteLimit);
    m_sensorType = snapshot.sensorType;
    if (snapshot.toleranceRead)
    {
        SetValue(m_tolTemp, snapshot.tolerance);
        SetValue(m_tolTime, snapshot.toleranceSeconds);
    }
    m_heatCool = snapshot.heatCool;
    m_heatCoolList->setCurrentIndex(m_heatCool >= 0 && m_heatCool <= 2 ? m_heatCool : -1);
    SetValue(m_cableR, snapshot.cableR);
    m_gain = snapshot.gain;
    if (snapshot.pidRead)
    {
        SetValue(m_p, snapshot.p);
        SetValue(m_i, snapshot.i);
        SetValue(m_d, snapshot.d);
    }
    // A unit whose fan reports only on or off has no speed steps.
    m_fanSpeedVariable = !snapshot.fanRead || snapshot.fan.mode != FanOn;
    ApplyConstants(snapshot);
    ApplyAnalog(snapshot);

    FillGainList();
    FillFanSpeedList(m_fanSpeedVariable);
    FillSensorList(snapshot.supportedSensors);
    if (snapshot.fanRead)
    {
        const TecProtocol::SFanSetting& fan = snapshot.fan;
        m_fanSpeedList->setCurrentIndex(m_fanSpeedList->findData(fan.mode));
        SetValue(m_fanVoltage, fan.voltage);
        m_fanModeList->setCurrentIndex(fan.first >= 0 && fan.first < m_fanModeList->count() ? fan.first : 0);
        m_fanDelay->setText(QString::number(fan.second));
    }
    m_rUnit->setText(QString::fromStdString(snapshot.rUnit));
    ApplyEnableRules();
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setModified(false);
}

void CTECSettingsDlg::ApplyConstants(const SSnapshot& snapshot)
{
    if (snapshot.thermistorRead)
        for (size_t k = 0; k < snapshot.thermistor.size(); ++k)
            m_thermistor[k]->setText(Constant(snapshot.thermistor[k] * ThermistorScale[k]));
    if (snapshot.rtdRead)
        for (size_t k = 0; k < snapshot.rtd.size(); ++k)
            m_rtd[k]->setText(Constant(snapshot.rtd[k] * RtdScale[k]));
    for (size_t set = 0; set < 2; ++set)
    {
        if (!snapshot.icRead[set])
            continue;
        std::vector<QLineEdit*>& edits = set == 0 ? m_ad590 : m_lm335;
        edits[0]->setText(Constant(snapshot.ic[set][0]));
        edits[1]->setText(Constant(snapshot.ic[set][1]));
    }
}

void CTECSettingsDlg::ApplyAnalog(const SSnapshot& snapshot)
{
    m_analogEnableRead = snapshot.analogEnableRead;
    m_analogEnableClicked = false;
    if (!AnalogOffered())
        return;
    m_analogEnable->setChecked(snapshot.analogEnabled);
    m_analogSensitivity->setCurrentIndex(snapshot.analogSensitivity.value_or(-1));
    m_analogAt0V->setText(snapshot.analogAt0V ? LocaleNumber::Bound(*snapshot.analogAt0V) : QString());
    m_analogAt2V5->setText(snapshot.analogAt2V5 ? LocaleNumber::Bound(*snapshot.analogAt2V5) : QString());
}

void CTECSettingsDlg::FillGainList()
{
    m_gainList->clear();
    for (int code : GainCodes)
        m_gainList->addItem(code == GainPID ? QString("PID") : QString::number(code), code);
    m_gainList->setCurrentIndex(m_gainList->findData(m_gain));
}

void CTECSettingsDlg::FillFanSpeedList(bool variable)
{
    m_fanSpeedList->clear();
    if (!variable)
    {
        m_fanSpeedList->addItem("Off", FanOff);
        m_fanSpeedList->addItem("On", FanOn);
        return;
    }
    m_fanSpeedList->addItem("Off", FanOff);
    m_fanSpeedList->addItem("Slow", FanSlow);
    m_fanSpeedList->addItem("Medium", FanMedium);
    m_fanSpeedList->addItem("Fast", FanFast);
    m_fanSpeedList->addItem("Custom", FanSpeedCustom);
}

void CTECSettingsDlg::FillSensorList(const std::set<int>& supported)
{
    m_sensorList->clear();
    if (!Offered(KeySensorSelection))
    {
        m_sensorList->addItem(GetSensorTypeInfo(m_sensorType).name, m_sensorType);
        m_sensorList->setCurrentIndex(0);
        return;
    }
    for (const SSensorEntry& entry : SensorEntries)
        if (supported.count(entry.code) != 0)
            m_sensorList->addItem(GetSensorTypeInfo(entry.code).name, entry.code);
    m_sensorList->setCurrentIndex(m_sensorList->findData(m_sensorType));
}

void CTECSettingsDlg::ApplyEnableRules()
{
    for (QCheckBox* check : m_outputOffChecks)
        Lock(check, !Offered(KeyConditions));
    for (QLineEdit* edit : {m_tLow, m_tHigh})
        Lock(edit, !Offered(KeyTLimits));
    for (QLineEdit* edit : {m_rLow, m_rHigh})
        Lock(edit, !Offered(KeyRLimits));
    Lock(m_iteLimit, !Offered(KeyIteLimit));
    Lock(m_sensorList, !Offered(KeySensorSelection));
    for (QLineEdit* edit : {m_tolTime, m_tolTemp})
        Lock(edit, !Offered(KeyTolerance));
    Lock(m_heatCoolList, !Offered(KeyHeatCool));
    Lock(m_cableR, !Offered(KeyCableR));
    for (auto* edits : {&m_thermistor, &m_rtd, &m_ad590, &m_lm335})
        for (QLineEdit* edit : *edits)
            Lock(edit, !Offered(KeyConstants));

    const bool gainOffered = Offered(KeyGain);
    Lock(m_gainList, !gainOffered);
    const bool pid = m_gainList->currentData().toInt() == GainPID && m_gainList->currentIndex() >= 0;
    for (QLineEdit* edit : {m_p, m_i, m_d})
    {
        edit->setEnabled(pid);
        Lock(edit, !gainOffered);
    }

    const bool fanOffered = Offered(KeyFan);
    const int speed = m_fanSpeedList->currentData().toInt();
    Lock(m_fanSpeedList, !fanOffered);
    m_fanVoltage->setEnabled(fanOffered && speed == FanSpeedCustom);
    m_fanModeList->setEnabled(fanOffered && speed != FanOff);
    m_fanDelay->setEnabled(fanOffered && speed != FanOff && m_fanModeList->currentIndex() == FanModeDelay);

    m_analogGroup->setVisible(AnalogOffered());
    for (QWidget* control : m_analogControls)
        control->setEnabled(m_analogEnable->isChecked());

    if (m_modelCode == ModelWithoutSensorChoice)
    {
        m_sensorLabel->hide();
        m_sensorList->hide();
        for (QWidget* widget : m_cableRRow)
            widget->hide();
        for (QWidget* widget : m_pidRows)
            widget->hide();
    }
}

void CTECSettingsDlg::OnSensorChanged()
{
    CTEC* tec = m_access.Selected();
    if (!tec)
        return;
    const int type = SelectedSensorType();
    m_rUnit->setText(QString::fromStdString(tec->GetRUnits(type)));
    const int precision = tec->GetPrecision(TecQuantityR);
    m_rLow->setText(LocaleNumber::Trimmed(tec->GetMinR(type), precision));
    m_rHigh->setText(LocaleNumber::Trimmed(tec->GetMaxR(type), precision));
    m_rLow->setModified(true);
    m_rHigh->setModified(true);
    ApplyEnableRules();
}

void CTECSettingsDlg::OnWatchTick()
{
    if (!m_access.channel || !m_access.channel())
    {
        m_watch.stop();
        done(ClosedNoChannel);
    }
}

int CTECSettingsDlg::SelectedSensorType() const
{
    return m_sensorList->currentIndex() >= 0 ? m_sensorList->currentData().toInt() : m_sensorType;
}

int CTECSettingsDlg::OutputOffMask() const
{
    // Bits without a box keep what the instrument had.
    int mask = m_outputOffMask;
    for (size_t i = 0; i < OutputOffBits.size(); ++i)
        mask = m_outputOffChecks[i]->isChecked() ? (mask | OutputOffBits[i]) : (mask & ~OutputOffBits[i]);
    return mask;
}

// ---- validation --------------------------------------------------------------------------------

bool CTECSettingsDlg::Refuse(QWidget* control, const QString& text)
{
    m_context.prompter.Message(this, text);
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->selectAll();
    return false;
}

std::optional<double> CTECSettingsDlg::Number(QLineEdit* edit)
{
    const std::optional<double> value = LocaleNumber::Parse(edit->text());
    if (!value)
        Refuse(edit, "Enter a number.");
    return value;
}

std::optional<double> CTECSettingsDlg::NumberIn(QLineEdit* edit, double low, double high, const QString& unit)
{
    const std::optional<double> value = Number(edit);
    if (!value)
        return std::nullopt;
    if (*value < low || *value > high)
    {
        Refuse(edit, FieldPrompts::NumberBetween(low, high, unit));
        return std::nullopt;
    }
    return value;
}

std::optional<int> CTECSettingsDlg::IntegerIn(QLineEdit* edit, int low, int high)
{
    bool ok = false;
    const int value = LocaleNumber::Locale().toInt(edit->text().trimmed(), &ok);
    if (!ok)
    {
        Refuse(edit, "Enter an integer.");
        return std::nullopt;
    }
    if (value < low || value > high)
    {
        Refuse(edit, QString("Enter an integer between %1 and %2.").arg(low).arg(high));
        return std::nullopt;
    }
    return value;
}

bool CTECSettingsDlg::Validate(CTEC& tec)
{
    if (Offered(KeyTLimits))
    {
        const auto low = Number(m_tLow);
        if (!low)
            return false;
        const auto high = Number(m_tHigh);
        if (!high)
            return false;
        if (!(*low < *high))
            return Refuse(m_tLow, "The T low limit must be less than the T high limit.");
        const bool independent = Offered(KeyTLimitsIndependent);
        const double setPoint = independent ? 0.0 : m_bounds.tSet;
        if (!NumberIn(m_tLow, m_bounds.minT, independent ? m_bounds.maxT : setPoint, Degrees) ||
            !NumberIn(m_tHigh, independent ? m_bounds.minT : setPoint, m_bounds.maxT, Degrees))
            return false;
    }
    if (Offered(KeyRLimits))
    {
        const auto low = Number(m_rLow);
        if (!low)
            return false;
        const auto high = Number(m_rHigh);
        if (!high)
            return false;
        if (!(*low < *high))
            return Refuse(m_rLow, "The R low limit must be less than the R high limit.");
        const int type = SelectedSensorType();
        const bool independent = Offered(KeyRLimitsIndependent);
        const double setPoint = independent ? 0.0 : m_bounds.rSet;
        if (!NumberIn(m_rLow, tec.GetMinR(type), independent ? tec.GetMaxR(type) : setPoint,
                      m_rUnit->text()) ||
            !NumberIn(m_rHigh, independent ? tec.GetMinR(type) : setPoint, tec.GetMaxR(type),
                      m_rUnit->text()))
            return false;
    }
    // Without a stored maximum (the multi-channel units keep none) the unit bounds the limit itself.
    const double maxIteLimit =
        m_bounds.maxIteLimit > 0.0f ? m_bounds.maxIteLimit : std::numeric_limits<double>::infinity();
    if (Offered(KeyIteLimit) &&
        !NumberIn(m_iteLimit, Offered(KeyIteLimitIndependent) ? 0.01 : m_bounds.iteSet, maxIteLimit, "A"))
        return false;
    if (Offered(KeyTolerance) &&
        (!NumberIn(m_tolTime, 0.1, 50.0, "sec") || !NumberIn(m_tolTemp, 0.01, 10.0, Degrees)))
        return false;
    if (Offered(KeyCableR) && !m_cableR->isHidden() && !NumberIn(m_cableR, 0.0, 10.0, Ohms))
        return false;
    if (Offered(KeyGain) && m_p->isEnabled())
        for (QLineEdit* edit : {m_p, m_i, m_d})
            if (!NumberIn(edit, 0.0, 1000.0, {}))
                return false;
    if (Offered(KeyFan))
    {
        if (m_fanVoltage->isEnabled() && !NumberIn(m_fanVoltage, 4.5, 12.0, "V"))
            return false;
        // Only a delay the user can edit is checked.
        if (m_fanDelay->isEnabled() && !IntegerIn(m_fanDelay, 1, 60))
            return false;
    }
    if (Offered(KeyConstants))
        for (auto* edits : {&m_thermistor, &m_rtd, &m_ad590, &m_lm335})
            for (QLineEdit* edit : *edits)
                if (edit->isModified() && !Number(edit))
                    return false;
    return ValidateAnalog();
}

// Only an enabled input is checked: the values of a disabled one cannot be edited.
bool CTECSettingsDlg::ValidateAnalog()
{
    if (!AnalogOffered() || !m_analogEnable->isChecked())
        return true;
    const auto at0V = Number(m_analogAt0V);
    if (!at0V)
        return false;
    const auto at2V5 = Number(m_analogAt2V5);
    if (!at2V5)
        return false;
    if (!(*at0V < *at2V5))
        return Refuse(m_analogAt0V, "The analog 'Tset at 0V' must be lower than the 'Tset at 2.5V'.");
    return NumberIn(m_analogAt0V, m_bounds.minT, m_bounds.maxT, Degrees) &&
           NumberIn(m_analogAt2V5, m_bounds.minT, m_bounds.maxT, Degrees);
}

// ---- writing -----------------------------------------------------------------------------------

void CTECSettingsDlg::accept()
{
    if (!m_loaded || m_writing)
        return;
    CTEC* tec = m_access.Selected();
    if (!tec)
    {
        done(ClosedNoChannel);
        return;
    }
    if (!Validate(*tec))
        return;
    m_watch.stop();
    WriteForSheet(
        [this](bool written)
        {
            if (written)
                QDialog::accept();
            else
                m_watch.start();
        });
}

bool CTECSettingsDlg::ValidateForSheet()
{
    // Nothing is written from a page whose values are not in yet.
    if (!m_loaded)
        return false;
    CTEC* tec = m_access.Selected();
    return tec && Validate(*tec);
}

void CTECSettingsDlg::WriteForSheet(std::function<void(bool)> done)
{
    CTEC* tec = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!tec || !link)
    {
        done(false);
        return;
    }
    CWriteSequence<CTEC> writes;
    AddWrites(writes);
    ShowBusy(WritingText);
    writes.Run(this, tec, m_access.Session(), link,
               [this, done = std::move(done)](const QString& refused)
               {
                   ShowBusy({});
                   if (!refused.isEmpty())
                       m_context.prompter.Message(this, CWriteSequence<CTEC>::RefusalText(refused));
                   done(refused.isEmpty());
               });
}

void CTECSettingsDlg::AddWrites(CWriteSequence<CTEC>& writes)
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

namespace
{
float EditValue(const QLineEdit* edit)
{
    return static_cast<float>(LocaleNumber::Parse(edit->text()).value_or(0));
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
} // namespace

void CTECSettingsDlg::AddLimitWrites(CWriteSequence<CTEC>& writes)
{
    // What went out is taken as read, so that OK after a refusal sends only what is left.
    auto taken = [](std::initializer_list<QLineEdit*> edits)
    {
        std::vector<QLineEdit*> list(edits);
        return [list]
        {
            for (QLineEdit* edit : list)
                edit->setModified(false);
        };
    };
    if (Offered(KeyTLimits) && (m_tLow->isModified() || m_tHigh->isModified()))
    {
        const std::optional<float> low =
            m_tLow->isModified() ? std::optional<float>(EditValue(m_tLow)) : std::nullopt;
        const std::optional<float> high =
            m_tHigh->isModified() ? std::optional<float>(EditValue(m_tHigh)) : std::nullopt;
        writes.AddStep(
            [low, high](CTEC& tec)
            {
                return SendLimitPair(
                    low, high, low ? tec.GetTLowLimit() : 0.0f,
                    [&tec](float v) { return tec.SetTLowLimit(v); },
                    [&tec](float v) { return tec.SetTHighLimit(v); }, "T low limit", "T high limit");
            },
            taken({m_tLow, m_tHigh}));
    }
    const int type = SelectedSensorType();
    if (Offered(KeySensorSelection) && type != m_sensorType)
        writes.Add(
            "sensor type", [type](CTEC& tec) { return tec.SetSensorType(type); },
            [this, type] { m_sensorType = type; });
    if (Offered(KeyRLimits) && (m_rLow->isModified() || m_rHigh->isModified()))
    {
        // Both go out when either changed, as the unit checks each against the other.
        const float low = EditValue(m_rLow);
        const float high = EditValue(m_rHigh);
        writes.AddStep(
            [low, high](CTEC& tec)
            {
                return SendLimitPair(
                    low, high, tec.GetRLowLimit(), [&tec](float v) { return tec.SetRLowLimit(v); },
                    [&tec](float v) { return tec.SetRHighLimit(v); }, "R low limit", "R high limit");
            },
            taken({m_rLow, m_rHigh}));
    }
    if (Offered(KeyIteLimit) && m_iteLimit->isModified())
    {
        const float limit = EditValue(m_iteLimit);
        writes.Add(
            "current limit", [limit](CTEC& tec) { return tec.SetITELimit(limit); }, taken({m_iteLimit}));
    }
}

// The rest goes out without a check of its own: a refusal shows in the instrument's error log.
void CTECSettingsDlg::AddOtherWrites(CWriteSequence<CTEC>& writes)
{
    auto unchecked = [&writes](std::function<void(CTEC&)> send)
    {
        writes.AddStep(
            [send = std::move(send)](CTEC& tec) -> std::optional<QString>
            {
                send(tec);
                return std::nullopt;
            });
    };
    if (Offered(KeyTolerance) && (m_tolTemp->isModified() || m_tolTime->isModified()))
        unchecked([temp = EditValue(m_tolTemp), time = EditValue(m_tolTime)](CTEC& tec)
                  { tec.SetTolerance(temp, time); });
    if (Offered(KeyCableR) && !m_cableR->isHidden() && m_cableR->isModified())
        unchecked([ohms = EditValue(m_cableR)](CTEC& tec) { tec.SetCableR(ohms); });
    if (Offered(KeyHeatCool) && m_heatCool >= 0 && m_heatCool <= 2 &&
        m_heatCoolList->currentIndex() != m_heatCool)
        unchecked([choice = m_heatCoolList->currentIndex()](CTEC& tec) { tec.SetHeatCool(choice); });
    if (Offered(KeyGain))
    {
        const int gain = m_gainList->currentData().toInt();
        if (m_gainList->currentIndex() >= 0 && gain != m_gain)
            unchecked([gain](CTEC& tec) { tec.SetGain(gain); });
        if (gain == GainPID && (m_p->isModified() || m_i->isModified() || m_d->isModified()))
            unchecked([p = EditValue(m_p), i = EditValue(m_i), d = EditValue(m_d)](CTEC& tec)
                      { tec.SetPID(p, i, d); });
    }
    if (!Offered(KeyConstants))
        return;
    auto modified = [](const std::vector<QLineEdit*>& edits)
    { return std::any_of(edits.begin(), edits.end(), [](QLineEdit* edit) { return edit->isModified(); }); };
    auto scaled = [](const std::vector<QLineEdit*>& edits, size_t k, double scale)
    { return static_cast<float>(LocaleNumber::Parse(edits[k]->text()).value_or(0) / scale); };
    if (modified(m_thermistor))
        unchecked(
            [a = scaled(m_thermistor, 0, ThermistorScale[0]), b = scaled(m_thermistor, 1, ThermistorScale[1]),
             c = scaled(m_thermistor, 2, ThermistorScale[2])](CTEC& tec)
            { tec.SetThermistorConstants(-1, a, b, c); });
    if (modified(m_rtd))
        unchecked([a = scaled(m_rtd, 0, RtdScale[0]), b = scaled(m_rtd, 1, RtdScale[1]),
                   c = scaled(m_rtd, 2, RtdScale[2]), r0 = scaled(m_rtd, 3, RtdScale[3])](CTEC& tec)
                  { tec.SetRTDConstants(-1, a, b, c, r0); });
    for (const auto& [edits, set] : {std::pair{&m_ad590, 0}, std::pair{&m_lm335, 1}})
        if (modified(*edits))
            unchecked([set = set, m = scaled(*edits, 0, 1.0), offset = scaled(*edits, 1, 1.0)](CTEC& tec)
                      { tec.SetICConstants(set, m, offset); });
}

// The unit follows its input from the moment it is enabled, so an enabled input gets its new scaling
// first and the enable last; one being switched off leaves the input before its scaling changes.
void CTECSettingsDlg::AddAnalogWrites(CWriteSequence<CTEC>& writes)
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
    if (const std::optional<double> celsius = LocaleNumber::Parse(m_analogAt0V->text()))
        writes.Add("analog 'Tset at 0V'", [v = *celsius](CTEC& tec) { return tec.SetAnalogTsetAt0V(v); });
    if (const std::optional<double> celsius = LocaleNumber::Parse(m_analogAt2V5->text()))
        writes.Add("analog 'Tset at 2.5V'", [v = *celsius](CTEC& tec) { return tec.SetAnalogTsetAt2V5(v); });
    if (const int sensitivity = m_analogSensitivity->currentIndex(); sensitivity >= 0)
        writes.Add("analog sensitivity",
                   [sensitivity](CTEC& tec) { return tec.SetAnalogSensitivity(sensitivity); });
    if (enable)
        addEnable();
}

void CTECSettingsDlg::AddFanWrite(CWriteSequence<CTEC>& writes)
{
    if (!Offered(KeyFan))
        return;
    const int speed = m_fanSpeedList->currentData().toInt();
    bool ok = false;
    const int delay = LocaleNumber::Locale().toInt(m_fanDelay->text().trimmed(), &ok);
    writes.AddStep(
        [speed, volts = EditValue(m_fanVoltage), mode = std::max(0, m_fanModeList->currentIndex()),
         delay = ok ? delay : 0](CTEC& tec) -> std::optional<QString>
        {
            tec.SetFan(speed, volts, mode, delay);
            return std::nullopt;
        });
}
