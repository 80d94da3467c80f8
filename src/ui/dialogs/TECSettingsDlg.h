#pragma once

#include "instrument/tec/TecProtocol.h"
#include "ui/common/UiContext.h"
#include "ui/dialogs/WriteSequence.h"
#include "ui/widgets/TecChannelAccess.h"

#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>

class CTEC;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The TEC settings page of one channel: the conditions that turn the output off, T, R and current
// limits, sensor type and constants, tolerance, heat/cool, cable resistance, gain and PID, the fan and,
// on units that have it, the analog set-point input.
// Everything is read with the channel's polling paused when the page opens; OK validates and writes only
// what changed (polling paused again), in an order that never shows the instrument a low limit above
// its high limit; a write the channel refuses is reported and the page stays open. The page closes
// with ClosedNoChannel when the channel goes away.
class CTECSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ClosedNoChannel = -1;
    static constexpr int WatchMs = 250;
    static inline const QString ReadingText = "Reading...";
    static inline const QString WritingText = "Writing...";

    CTECSettingsDlg(const SUiContext& context, STecChannelAccess access, QWidget* parent = nullptr);

    // Starts reading every value: the page shows "Reading..." with its controls disabled until the
    // values are in (loaded). False when the channel is gone (the page closes with -1).
    bool Load();
    bool IsLoaded() const { return m_loaded; }
    // OK's writes are under way: the page is disabled and says "Writing...".
    bool IsWriting() const { return m_writing; }
    // Load, then the modal loop.
    int exec() override;
    // OK: validation, then the writes.
    void accept() override;
    // The two halves of OK for a sheet that holds this page beside others (the combo panel's): the
    // sheet validates every page before any page writes. The writes run on the instrument's strand;
    // done(false) comes after the refusal has been reported.
    bool ValidateForSheet();
    void WriteForSheet(std::function<void(bool written)> done);

signals:
    // The values are in the controls and the page may be changed and written.
    void loaded();

private:
    // What the limits are checked against on OK, read with the page so that OK never waits on the unit:
    // the model's bounds and, where a limit may not pass it, the set point.
    struct SBounds
    {
        float minT = 0, maxT = 0, maxIteLimit = 0;
        float tSet = 0, rSet = 0, iteSet = 0;
    };
    // What the page shows, read from the unit in one group on the instrument's strand.
    struct SSnapshot
    {
        bool analogPresent = false;
        std::set<uint32_t> hidden;
        int modelCode = 0;
        int outputOffMask = 0;
        float tLow = 0, tHigh = 0, rLow = 0, rHigh = 0, iteLimit = 0;
        int sensorType = 0;
        bool toleranceRead = false;
        float tolerance = 0, toleranceSeconds = 0;
        int heatCool = -1;
        float cableR = 0;
        int gain = 0;
        bool pidRead = false;
        float p = 0, i = 0, d = 0;
        bool fanRead = false;
        TecProtocol::SFanSetting fan;
        bool thermistorRead = false;
        std::array<float, 3> thermistor{};
        bool rtdRead = false;
        std::array<float, 4> rtd{};
        std::array<bool, 2> icRead{};
        std::array<std::array<float, 2>, 2> ic{};
        bool analogEnableRead = false;
        bool analogEnabled = false;
        std::optional<int> analogSensitivity;
        std::optional<double> analogAt0V;
        std::optional<double> analogAt2V5;
        std::set<int> supportedSensors;
        std::string rUnit;
        SBounds bounds;
    };
    // The reads, in the order the unit has always seen them; runs on the instrument's strand.
    static SSnapshot ReadSnapshot(CTEC& tec);
    static void ReadConstants(CTEC& tec, SSnapshot& snapshot);
    static void ReadBounds(CTEC& tec, SSnapshot& snapshot);
    static void ReadAnalog(CTEC& tec, SSnapshot& snapshot);
    void ApplySnapshot(const SSnapshot& snapshot);
    // Disables the page and says what it waits for; an empty text ends the wait.
    void ShowBusy(const QString& doing);

    // Output-off mask bits, one per check box, in the order of the boxes.
    static constexpr std::array<int, 8> OutputOffBits = {0x1, 0x4, 0x8, 0x10, 0x40, 0x400, 0x80, 0x200};

    void Build();
    QGroupBox* BuildConditions();
    QGroupBox* BuildLimits();
    QGroupBox* BuildMisc();
    QGroupBox* BuildGain();
    QGroupBox* BuildFan();
    QGroupBox* BuildAnalog();
    QGroupBox* BuildConstants(const QString& title, const QStringList& captions, const QStringList& powers,
                              const QStringList& names, std::vector<QLineEdit*>& edits);
    QLineEdit* NewEdit(const char* name, QWidget* parent);

    bool Offered(uint32_t key) const { return m_hidden.count(key) == 0; }
    bool AnalogOffered() const;
    void ApplyConstants(const SSnapshot& snapshot);
    void ApplyAnalog(const SSnapshot& snapshot);
    void FillGainList();
    void FillFanSpeedList(bool variable);
    void FillSensorList(const std::set<int>& supported);
    void ApplyEnableRules();
    void OnSensorChanged();
    void OnWatchTick();

    // Validation; each shows its prompt and puts the focus on the control when it fails.
    bool Validate(CTEC& tec);
    bool ValidateAnalog();
    std::optional<double> Number(QLineEdit* edit);
    // The range prompt names the unit of the bounds (none for the PID terms).
    std::optional<double> NumberIn(QLineEdit* edit, double low, double high, const QString& unit);
    std::optional<int> IntegerIn(QLineEdit* edit, int low, int high);
    bool Refuse(QWidget* control, const QString& text);

    // OK's writes, in the order the unit has always seen them, built from the controls.
    void AddWrites(CWriteSequence<CTEC>& writes);
    void AddLimitWrites(CWriteSequence<CTEC>& writes);
    void AddOtherWrites(CWriteSequence<CTEC>& writes);
    void AddAnalogWrites(CWriteSequence<CTEC>& writes);
    void AddFanWrite(CWriteSequence<CTEC>& writes);
    int SelectedSensorType() const;
    int OutputOffMask() const;

    SUiContext m_context;
    STecChannelAccess m_access;
    QTimer m_watch;
    std::set<uint32_t> m_hidden;
    bool m_loaded = false;
    bool m_writing = false;
    int m_modelCode = 0;

    // Values read at opening that decide what counts as changed.
    int m_outputOffMask = 0;
    SBounds m_bounds;
    int m_sensorType = 0;
    int m_gain = 0;
    int m_heatCool = -1;
    bool m_fanSpeedVariable = true;
    bool m_analogPresent = false;
    // Whether the enable flag could be read; when not, only a click on the box sends it.
    bool m_analogEnableRead = false;
    bool m_analogEnableClicked = false;

    std::array<QCheckBox*, 8> m_outputOffChecks{};
    QLineEdit* m_tLow = nullptr;
    QLineEdit* m_tHigh = nullptr;
    QLineEdit* m_rLow = nullptr;
    QLineEdit* m_rHigh = nullptr;
    QLabel* m_rUnit = nullptr;
    QWidget* m_form = nullptr;
    QLabel* m_readingLabel = nullptr;
    QPushButton* m_okButton = nullptr;
    QLineEdit* m_iteLimit = nullptr;
    QLabel* m_sensorLabel = nullptr;
    QComboBox* m_sensorList = nullptr;
    QLineEdit* m_tolTime = nullptr;
    QLineEdit* m_tolTemp = nullptr;
    QComboBox* m_heatCoolList = nullptr;
    std::vector<QWidget*> m_cableRRow;
    QLineEdit* m_cableR = nullptr;
    QComboBox* m_gainList = nullptr;
    std::vector<QWidget*> m_pidRows;
    QLineEdit* m_p = nullptr;
    QLineEdit* m_i = nullptr;
    QLineEdit* m_d = nullptr;
    QComboBox* m_fanSpeedList = nullptr;
    QLineEdit* m_fanVoltage = nullptr;
    QComboBox* m_fanModeList = nullptr;
    QLineEdit* m_fanDelay = nullptr;
    std::vector<QLineEdit*> m_thermistor;
    std::vector<QLineEdit*> m_rtd;
    std::vector<QLineEdit*> m_ad590;
    std::vector<QLineEdit*> m_lm335;
    QLabel* m_r0Unit = nullptr;
    std::vector<QGroupBox*> m_constantGroups;
    QGroupBox* m_analogGroup = nullptr;
    QCheckBox* m_analogEnable = nullptr;
    QComboBox* m_analogSensitivity = nullptr;
    QLineEdit* m_analogAt0V = nullptr;
    QLineEdit* m_analogAt2V5 = nullptr;
    // What the check box switches: the list, the edits and their captions.
    std::vector<QWidget*> m_analogControls;
};
