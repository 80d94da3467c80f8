#pragma once

#include "instrument/tec/TecProtocol.h"
#include "ui/dialogs/SettingFields.h"
#include "ui/dialogs/SettingsPage.h"
#include "ui/dialogs/TecSettingRows.h"
#include "ui/widgets/TecChannelAccess.h"

#include <QStringList>
#include <array>
#include <optional>
#include <set>
#include <string>

class COutputOffBoxes;
class CTEC;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QGridLayout;

// The TEC settings page of one channel: the conditions that turn the output off, T, R and current
// limits, sensor type and constants, tolerance, heat/cool, cable resistance, gain and PID, the fan and,
// on units that have it, the analog set-point input. Its edits are described once (TecSettingRows);
// OK validates and writes only what changed, in an order that never shows the instrument a low limit
// above its high limit.
class CTecSettingsPage : public CSettingsPage
{
    Q_OBJECT

public:
    CTecSettingsPage(const SUiContext& context, STecChannelAccess access, QWidget* parent = nullptr);

    bool Load() override;
    bool Validate() override;
    void Write(std::function<void(bool)> done) override;

private:
    // What the page shows, read from the unit in one group on the instrument's strand.
    struct SSnapshot
    {
        bool analogPresent = false;
        std::set<uint32_t> hidden;
        int modelCode = 0;
        int outputOffMask = 0;
        std::vector<std::optional<double>> values; // one per described field
        int sensorType = 0;
        int heatCool = -1;
        int gain = 0;
        bool fanRead = false;
        TecProtocol::SFanSetting fan;
        bool analogEnableRead = false;
        bool analogEnabled = false;
        std::optional<int> analogSensitivity;
        std::set<int> supportedSensors;
        std::string rUnit;
        TecSettingRows::SBounds bounds;
    };
    // The reads, in the order the unit has always seen them; runs on the instrument's strand.
    static SSnapshot ReadSnapshot(CTEC& tec);
    static void ReadAnalog(CTEC& tec, SSnapshot& snapshot);
    void ApplySnapshot(const SSnapshot& snapshot);

    void Build();
    QGroupBox* BuildLimits();
    QGroupBox* BuildMisc();
    QGroupBox* BuildGain();
    QGroupBox* BuildFan();
    QGroupBox* BuildAnalog();
    QGroupBox* BuildConstants(const QString& title, size_t first, size_t count);
    QGroupBox* Box(const QString& title, QGridLayout*& grid);

    bool Offered(uint32_t key) const { return m_read.hidden.count(key) == 0; }
    bool HeatCoolRead() const { return m_read.heatCool >= 0 && m_read.heatCool <= 2; }
    bool AnalogOffered() const;
    void FillLists(const SSnapshot& snapshot);
    void ApplyEnableRules();
    void OnSensorChanged();

    bool CheckPair(size_t low, size_t high, const QString& order, double min, double max, double setPoint,
                   bool independent, const QString& unit);
    bool ValidateAnalog();

    // OK's writes, in the order the unit has always seen them, built from the controls.
    void AddWrites(CWriteSequence<CTEC>& writes);
    void AddLimitWrites(CWriteSequence<CTEC>& writes);
    void AddOtherWrites(CWriteSequence<CTEC>& writes);
    void AddAnalogWrites(CWriteSequence<CTEC>& writes);
    void AddFanWrite(CWriteSequence<CTEC>& writes);
    int SelectedSensorType() const;

    STecChannelAccess m_access;
    CSettingFields m_fields;
    // What was read at opening: what is offered, the bounds, and the values that decide what counts as
    // changed (the sensor type follows what went out).
    SSnapshot m_read;
    // An unread enable flag is sent only after a click on its box.
    bool m_analogEnableClicked = false;

    COutputOffBoxes* m_conditions = nullptr;
    QLabel* m_rUnit = nullptr;
    QWidget* m_sensorLabel = nullptr;
    QComboBox* m_sensorList = nullptr;
    QComboBox* m_heatCoolList = nullptr;
    QComboBox* m_gainList = nullptr;
    QComboBox* m_fanSpeedList = nullptr;
    QComboBox* m_fanModeList = nullptr;
    QGroupBox* m_analogGroup = nullptr;
    QCheckBox* m_analogEnable = nullptr;
    QComboBox* m_analogSensitivity = nullptr;
    // What the check box switches: the list, the edits and their captions.
    std::vector<QWidget*> m_analogControls;
};
