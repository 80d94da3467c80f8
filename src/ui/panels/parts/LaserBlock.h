#pragma once

#include "ui/common/UiContext.h"
#include "ui/widgets/LaserChannelAccess.h"
#include "ui/widgets/SetPointEdit.h"
#include "ui/widgets/SetPointRefusal.h"
#include "ui/widgets/TrendChart.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class CLaser;
class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The controls of one laser channel and their logic: set point with its unit and "Set", output
// "On"/"Off", the Io, Im, Po and Vf readings, the eight mode buttons, "Laser Settings..." and
// "QCW Adjust ...". The laser panel holds one; the combo, multi-channel and OEM panels hold theirs.
//
// The owning panel decides when a tick refreshes (the session's userFlag rule) and calls Refresh or
// EmptyReadings, calls UpdateControls when the connection changes, and routes Enter to the block whose
// set-point field has the focus (HasSetPointFocus) through OnSetPoint.
class CLaserBlock : public QWidget
{
    Q_OBJECT

public:
    struct SOptions
    {
        bool pulseModes = true;     // "Pulse", "Ext Trig", "Burst" and "QCW Adjust ..." may be offered
        bool settingsButton = true; // "Laser Settings..." (the combo panel has its own sheet)
        QString setPointTitle = "Setpoint";
        QString outputTitle = "Output";
        // What "Laser Settings..." opens instead of the block's own sheet (a sheet that names the channel).
        std::function<void()> openSettings;
    };

    // Mode buttons in the order of the laser's mode codes 1 to 8.
    static constexpr int ModeCount = 8;

    CLaserBlock(const SUiContext& context, SLaserChannelAccess access, const SOptions& options,
                QWidget* parent = nullptr);

    // One refreshing tick; forced rewrites every field even when its cached value is unchanged.
    void Refresh(bool forced);
    // A tick that does not refresh: the readings and the set-point unit are emptied.
    void EmptyReadings();
    // Enables, shows and hides the controls for the connection state of the channel.
    void UpdateControls(bool connected);
    // Forgets the cached values so that the next refresh rewrites every field.
    void ResetReadings();
    // The set-point group's title, for panels whose channel numbers come with the connection.
    void SetSetPointTitle(const QString& title);
    // "Set" or Enter: the typed set point goes to the unit, checked against its limits there, and its
    // answer comes back later. False when nothing was asked (no number, no change, a request under way).
    bool OnSetPoint();
    // A request of the block is under way on the instrument's strand.
    bool IsBusy() const { return m_requests > 0; }
    bool HasSetPointFocus() const;
    // The output as last read while connected; switching it off goes out at once.
    bool IsOutputOn() const { return m_connected && m_output; }
    void SwitchOutputOff();

    const SLaserChannelAccess& Access() const { return m_access; }
    CSetPointEdit* SetPointEdit() const { return m_setPointEdit; }
    int CachedMode() const { return m_mode; }
    float CachedSetPoint() const { return m_setPoint; }

    // The texts this block shows in its message boxes.
    static const QString LimitsMessage;      // "%1" and "%2": the bounds, "%3": their unit
    static const QString InvalidModeMessage; // mode without a set point
    static const QString NoResponsivityMessage;
    static const QString LimitsUnknownMessage;

    // The readings as the last refresh showed them, each name after prefix ("Laser 2 Io"): the mode's
    // quantity and, when setPointShown, its set point ("Io set point", a series per mode) are the prominent
    // ones.
    std::vector<CTrendChart::SSample> TrendSamples(const QString& prefix, bool setPointShown = true) const;

    // The set-point bounds [0, upper] of a mode: the smaller of the model's maximum and the channel's
    // limit; in power mode the monitor-current bound divided by the responsivity. nullopt with the
    // refusal text when no bound can be given.
    static std::optional<double> UpperBound(CLaser& laser, int mode, QString& refusal);

signals:
    // The laser settings ended with OK: the owner updates its controls.
    void settingsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildSetPointRow();
    QWidget* BuildReadings();
    QWidget* BuildModes();
    QWidget* BuildButtons();
    void OnModeClicked(int mode);
    void OnOutputClicked(bool on);
    void OnSetPointEdited();
    void OnLaserSettings();
    void OnQcwAdjust();
    void CompareSetPoint();
    void ShowMode(CLaser& laser, int mode);
    void ShowSetPoint(CLaser& laser);
    void ShowOutput(bool on);
    void ReadResponsivity();
    // Enabled while connected and no request of the block is under way.
    void EnableControls();
    using SSetResult = SSetPointOutcome;
    void OnSetPointDone(float value, const SSetResult& result);
    // Runs work on the instrument's strand; done gets its result here unless the block lost its
    // connection meanwhile. False when there is no instrument to ask.
    template <typename Work, typename Done>
    bool Request(Work work, Done done);
    void UpdateQcwButton();
    void ClearFields();

    SUiContext m_context;
    SLaserChannelAccess m_access;
    SOptions m_options;

    // Cached state of the channel, as last shown.
    float m_setPoint;
    bool m_output = false;
    int m_mode = 0;
    bool m_connected = false;
    int m_requests = 0; // requests of this block under way on the instrument's strand
    bool m_pulseCapable = false;
    float m_responsivity = 0.0f; // [µA/mW]; 0: no photodiode calibration, no power mode
    // Io, Im, Po, Vf of the last refresh; nullopt when unknown.
    std::array<std::optional<double>, 4> m_readings{};
    CSetPointRefusal m_refusal;

    QGroupBox* m_setPointGroup = nullptr;
    CSetPointEdit* m_setPointEdit = nullptr;
    QLabel* m_setPointUnit = nullptr;
    QPushButton* m_setButton = nullptr;
    QRadioButton* m_onButton = nullptr;
    QRadioButton* m_offButton = nullptr;
    QLabel* m_laserOnBadge = nullptr;
    QLineEdit* m_ioField = nullptr;
    QLineEdit* m_imField = nullptr;
    QLineEdit* m_poField = nullptr;
    QLineEdit* m_vfField = nullptr;
    QLabel* m_poLabel = nullptr;
    QLabel* m_poUnit = nullptr;
    std::array<QRadioButton*, ModeCount> m_modeButtons{};
    QButtonGroup* m_modeGroup = nullptr;
    QPushButton* m_settingsButton = nullptr;
    QPushButton* m_qcwButton = nullptr;
};
