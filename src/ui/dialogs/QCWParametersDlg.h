#pragma once

#include "instrument/laser/Laser.h"
#include "ui/common/UiContext.h"
#include "ui/widgets/LaserChannelAccess.h"

#include <QDialog>
#include <QTimer>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

// The pulse timing of a laser channel: pulse width and either the delays around the pulse (QCW) or
// frequency and duty cycle (pulse and burst modes), and the number of pulses in burst mode. Each value
// has an edit and a slider that follow each other; width, frequency and duty are coupled by
// duty [%] = width [ms] × frequency [Hz] / 10 with frequency or duty held. Out-of-range values turn
// their edit red (with a beep) and block OK and Apply. The channel is looked up before each use and the
// dialog closes when the panel has lost it.
class CQCWParametersDlg : public QDialog
{
    Q_OBJECT

public:
    enum EValue
    {
        PulseWidth, // [ms]
        Frequency,  // [Hz]
        DutyCycle,  // [%]
        DelayIn,    // [s]
        DelayOut,   // [s]
        PulseCount,
        ValueCount
    };

    static constexpr int LostResult = -1;
    static constexpr int LossCheckMs = 250;
    static constexpr int MaxPulseCount = 60000;
    static const QString BoundsUnreadableMessage;

    CQCWParametersDlg(const SUiContext& context, SLaserChannelAccess access, QWidget* parent = nullptr);

    static inline const QString ReadingText = "Reading...";
    static inline const QString WritingText = "Writing...";

    // Starts reading bounds and values on the instrument's strand; the controls wait, disabled, until
    // they are in (loaded). Bounds that cannot be read are reported and close the dialog with
    // LostResult. False when the channel is gone.
    bool Load();
    bool IsLoaded() const { return m_loaded; }
    // OK's or Apply's writes are under way.
    bool IsWriting() const { return m_writing; }
    // Load, then the modal loop: Accepted, Rejected or LostResult.
    int exec() override;

    // What the buttons do; public so that tests drive them without a modal loop.
    void OnOk();
    void OnApply();
    void OnLossCheck();

signals:
    void loaded();

public:
    double Value(EValue which) const { return m_values[which]; }
    bool IsOutOfRange(EValue which) const { return m_outOfRange[which]; }

private:
    void BuildControls();
    void AddRow(int row, EValue which, const QString& label, const QString& unit, const char* name);
    using Values = std::array<double, ValueCount>;
    // Bounds and values as read in one group on the strand.
    struct SReading
    {
        bool boundsRead = false;
        int mode = 0;
        CLaser::SPulseTiming minima;
        CLaser::SPulseTiming maxima;
        Values values{};
        bool holdFrequency = true;
    };
    // What OK or Apply sends: the values against the ones last read or written.
    struct SChange
    {
        Values values;
        Values last;
        bool pulsed;
        bool holdFrequency;
        bool lastHoldFrequency;
    };
    static SReading Read(CLaser& laser, const Values& fallback);
    static void SendChange(CLaser& laser, const SChange& change);
    void ShowReading(const SReading& reading);
    void ShowBusy(const QString& doing);
    void Write(bool readBack);
    void ShowValues();
    void ShowValue(EValue which);
    void SetSliderRanges();
    void OnEdited(EValue which);
    void OnSliderMoved(EValue which);
    // The coupled width, frequency and duty after `changed` changed, clamped as the hold rule says.
    Values Coupled(EValue changed, Values values) const;
    void ApplyCoupled(const Values& values);
    void OnEditFinished(EValue which);
    void UpdateFlags();
    void ApplyModeLayout();
    void OnHoldChanged();
    double Minimum(EValue which) const;
    double Maximum(EValue which) const;
    double Clamp(EValue which, double value) const;
    bool InRange(EValue which) const;
    int SliderPosition(EValue which, double value) const;
    double SliderValue(EValue which, int position) const;

    SUiContext m_context;
    SLaserChannelAccess m_access;
    std::array<double, ValueCount> m_values{100.0, 1000.0, 10.0, 50.0, 50.0, 0.0};
    std::array<double, ValueCount> m_last{};
    bool m_holdFrequency = true;
    bool m_lastHoldFrequency = true;
    bool m_pulsed = false;
    bool m_burst = false;
    CLaser::SPulseTiming m_minima;
    CLaser::SPulseTiming m_maxima;
    std::array<bool, ValueCount> m_outOfRange{};
    std::array<bool, ValueCount> m_unparsable{};
    bool m_updating = false;
    int m_pendingCoupling = ValueCount; // the edit whose coupling waits for the end of its editing

    std::array<QLineEdit*, ValueCount> m_edits{};
    std::array<QSlider*, ValueCount> m_sliders{};
    std::array<std::array<QWidget*, 2>, ValueCount> m_labels{}; // label and unit of each row
    QRadioButton* m_holdFrequencyRadio = nullptr;
    QRadioButton* m_holdDutyRadio = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_applyButton = nullptr;
    QLabel* m_busyLabel = nullptr;
    bool m_loaded = false;
    bool m_writing = false;
    QTimer m_lossTimer;
};
