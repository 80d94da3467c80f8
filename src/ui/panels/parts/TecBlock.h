#pragma once

#include "instrument/tec/TecTypes.h"
#include "ui/common/UiContext.h"
#include "ui/widgets/SetPointEdit.h"
#include "ui/widgets/SetPointRefusal.h"
#include "ui/widgets/TecChannelAccess.h"
#include "ui/widgets/TrendChart.h"

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

class CTEC;
class QAbstractButton;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The controls of one TEC channel: T, R, ITE and VTE readings ("Open"/"Short" from the status bits),
// the set point with its unit, "Set" and the light-yellow highlight, the mode and output buttons with
// the model's feature locks, the auxiliary sensor rows of multi-sensor units, "TEC Settings..." and
// "AutoTune...". The single-channel TEC panel holds one; the combo, multi-channel and OEM panels hold
// one per TEC channel and route Enter to the block whose field has the focus.
//
// The block never owns the channel: it looks it up through its access on every use.
class CTecBlock : public QWidget
{
    Q_OBJECT

public:
    static constexpr int AuxRows = 6;

    struct SOptions
    {
        bool auxSensors = true;     // rows for the further sensors of multi-sensor units
        bool settingsButton = true; // "TEC Settings..." and "AutoTune..."
        QString title;              // a group title around the block ("TEC 2"); none when empty
        QString setPointTitle = "Setpoint";
        QString outputTitle = "Output";
        // What "TEC Settings..." opens instead of the block's own dialog (a sheet that names the channel).
        std::function<void()> openSettings;
    };

    CTecBlock(const SUiContext& context, STecChannelAccess access, QWidget* parent = nullptr);
    CTecBlock(const SUiContext& context, STecChannelAccess access, const SOptions& options,
              QWidget* parent = nullptr);

    const STecChannelAccess& Access() const { return m_access; }
    CSetPointEdit* SetPointEdit() const { return m_setPointEdit; }

    // Rewrites the readings; forced rewrites every field even when its cached value is unchanged. The
    // owning panel decides when a tick refreshes (the shared refresh rule).
    void Refresh(bool forced);
    // Empties the reading fields and the set-point unit (no refresh this tick).
    void EmptyReadings();
    // The set-point group's title, for panels whose channel numbers come with the connection.
    void SetSetPointTitle(const QString& title);
    // Enables the controls for the connected state and the model's locks; empties them when not.
    void UpdateControls(bool connected);
    // Forgets the cached values so that the next refresh rewrites every field.
    void ResetReadings();
    // "Set" and Enter: checks the typed set point and sends it.
    void OnSetPoint();
    // True while the keyboard focus is inside the block (the owning panel routes Enter here).
    bool HasFocus() const;
    // A request of the block is under way on the instrument's strand.
    bool IsBusy() const { return m_requests > 0; }
    // The output as last read while connected; switching it off goes out at once.
    bool IsOutputOn() const { return m_connected && m_output; }
    void SwitchOutputOff() { SendOutput(false); }

    void OpenSettings();
    void OpenAutoTune();
    // Reads the tolerance the state badge compares T with again (after a settings page ended).
    void ReloadTolerance();

    // The readings as the last refresh showed them (T, R, ITE, VTE, the auxiliary sensors and the set
    // point, a series per mode), each name after prefix ("TEC 2 T"); none after EmptyReadings. T is
    // prominent, and so is the set point when setPointShown.
    std::vector<CTrendChart::SSample> TrendSamples(const QString& prefix, bool setPointShown = true) const;

    // The cached state as last shown (for owning panels and tests).
    float CachedSetPoint() const { return m_setPoint; }
    int CachedMode() const { return m_mode; }
    bool IsSetPointEdited() const { return m_edited; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build(const SOptions& options);
    QWidget* BuildReadings();
    QWidget* BuildSetPoint(const QString& title);
    QWidget* BuildOutputAndMode(const QString& outputTitle);
    QWidget* BuildAuxRows();
    QWidget* BuildButtons(const std::function<void()>& openSettings);
    CTEC* Channel() const;
    void ShowReadings(CTEC& tec, bool forced);
    // The sensors of the auxiliary rows in row order (the control sensor is the main T); a unit with
    // n sensors uses the first n - 1.
    static std::vector<int> AuxSensors(CTEC& tec);
    void ShowAuxSensors(CTEC& tec);
    void CollectTrend(CTEC& tec);
    void RefreshSetPoint(CTEC& tec, bool forced);
    void RefreshOutput(CTEC& tec, bool forced);
    void RefreshMode(CTEC& tec, bool forced);
    void RefreshSensorType(CTEC& tec, bool forced);
    void WriteSetPointField();
    void CompareSetPoint();
    using SSetResult = SSetPointOutcome;
    // Why the value is out of the mode's limits (read from the unit, named in unit); empty when it is
    // within.
    static QString RangeRefusal(CTEC& tec, int mode, float value, const QString& unit);
    void OnSetPointDone(float value, const SSetResult& result);
    // Runs work(…) on the instrument's strand; done gets its result here unless the block lost its
    // connection meanwhile. The block's controls that ask the unit are disabled until then.
    template <typename Work, typename Done>
    void Request(Work work, Done done);
    // Says why, and the field shows the unit's set point again.
    void Refuse(const QString& text);
    bool IsModeLocked(CTEC& tec, int mode);
    bool IsSetPointEditable(CTEC& tec, int mode);
    QString SetPointUnit(CTEC& tec) const;
    int SetPointPrecision(CTEC& tec) const;
    enum class EState
    {
        Off,
        On, // the tolerance cannot be told
        InTolerance,
        OutOfTolerance
    };
    EState State(CTEC& tec) const;
    void ShowState(CTEC& tec);
    void ReadTolerance(CTEC& tec);
    void SendMode(int mode);
    void SendOutput(bool on);
    void ShowCheckedButtons();
    QString Known(CTEC& tec, double value, int precision, TecReading reading, int sensor = -1) const;

    SUiContext m_context;
    STecChannelAccess m_access;
    bool m_connected = false;
    int m_requests = 0; // requests of this block under way on the instrument's strand

    // Cached as last read from the channel or last sent.
    float m_setPoint = 0.0f;
    bool m_setPointKnown = false;
    bool m_output = false;
    int m_mode = 0;
    int m_sensorType = 0;
    bool m_readingsCleared = false; // the next refresh rewrites everything
    bool m_setPointEditable = false;
    bool m_edited = false;
    bool m_rewritingField = false;
    CSetPointRefusal m_refusal;
    float m_tolerance = 0.0f; // [°C] read at connect and after the settings
    bool m_toleranceKnown = false;
    EState m_state = EState::Off;
    std::vector<CTrendChart::SSample> m_trend; // unprefixed

    QLabel* m_tField = nullptr;
    QLabel* m_rField = nullptr;
    QLabel* m_rUnit = nullptr;
    QLabel* m_iteField = nullptr;
    QLabel* m_vteField = nullptr;
    QGroupBox* m_setPointGroup = nullptr;
    CSetPointEdit* m_setPointEdit = nullptr;
    QLabel* m_setPointUnit = nullptr;
    QPushButton* m_setButton = nullptr;
    QRadioButton* m_onButton = nullptr;
    QRadioButton* m_offButton = nullptr;
    QRadioButton* m_tModeButton = nullptr;
    QRadioButton* m_rModeButton = nullptr;
    QRadioButton* m_iteModeButton = nullptr;
    QLabel* m_stateBadge = nullptr;
    QWidget* m_auxBox = nullptr;
    std::array<QLabel*, AuxRows> m_auxLabels{};
    std::array<QLabel*, AuxRows> m_auxValues{};
    QPushButton* m_settingsButton = nullptr;
    QPushButton* m_autoTuneButton = nullptr;
};
