#pragma once

#include "ui/common/UiContext.h"
#include "ui/dialogs/SettingsPage.h"
#include "ui/dialogs/WriteSequence.h"
#include "ui/widgets/LaserChannelAccess.h"

#include <QString>
#include <array>

class CLaser;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// The laser settings page: which conditions turn the output off, the four limits, cable resistance,
// photodiode response and bias, tolerance, output-on delay and, on dual-range models, the current
// range. Reads everything at opening (polling paused); on OK sends only the values the user changed,
// in an order that keeps the unit's limits consistent.
class CLaserSettingsDlg : public CSettingsPage
{
    Q_OBJECT

public:
    // Bits of the output-off enable mask that have a box; the others are written back as read.
    static constexpr int MaskCurrentLimit = 0x1;
    static constexpr int MaskPhotodiodeCurrentLimit = 0x4;
    static constexpr int MaskPhotodiodePowerLimit = 0x8;
    static constexpr int MaskOutOfTolerance = 0x200;
    static constexpr int MaskTecOff = 0x400;
    static constexpr int MaskTecTLimit = 0x800;
    static constexpr double MaxPDBias = 10.0; // [V] the photodiode bias supply's ceiling

    CLaserSettingsDlg(const SUiContext& context, SLaserChannelAccess access, QWidget* parent = nullptr);

    // Starts reading the channel's values on the instrument's strand; the page stays disabled until
    // they are in.
    bool Load() override;
    bool IsLoaded() const override { return m_loaded; }
    bool Validate() override;
    void Write(std::function<void(bool)> done) override;
    // OK's writes are under way: the page is disabled.
    bool IsWriting() const { return m_writing; }
    bool IsChannelPresent() const override;

private:
    // One edit with the text shown at opening and the value read.
    struct SField
    {
        QLineEdit* edit = nullptr;
        QString shown;
        double read = 0.0;
        double entered = 0.0;

        bool Changed() const;
    };

    enum EField
    {
        LdiLimit,
        LdvLimit,
        MdiLimit,
        MdpLimit,
        CableR,
        PdResponse,
        PdBias,
        TolTime,
        TolIo,
        OnDelay,
        FieldCount
    };

    // What the page shows, read from the unit in one group on the instrument's strand.
    struct SSnapshot
    {
        bool dualRange = false;
        bool hasCableR = false;
        bool hasPdBias = false;
        bool tecConditions = false;
        int mask = 0;
        std::array<double, FieldCount> values{};
        int range = 1;
        double maxLdiSetPoint = 0.0;
        double maxLdvSetPoint = 0.0;
        double maxMdiSetPoint = 0.0;
        double maxMdiLimit = 0.0;
        double maxLdiLimit = 0.0;
    };
    static SSnapshot ReadSnapshot(CLaser& laser);
    void ApplySnapshot(const SSnapshot& read);
    void BuildControls();
    QLineEdit* AddRow(QWidget* parent, int row, const QString& label, const QString& unit, const char* name,
                      EField field);
    void Fill(EField field, double value, const QString& text);
    void OnPdResponseEdited();
    bool ValidateField(EField field, double low, double high);
    int BuildMask() const;
    void AddWrites(CWriteSequence<CLaser>& writes);

    SUiContext m_context;
    SLaserChannelAccess m_access;
    std::array<SField, FieldCount> m_fields{};
    std::array<QLabel*, FieldCount> m_labels{};
    std::array<QLabel*, FieldCount> m_units{};
    bool m_loaded = false;
    bool m_writing = false;
    int m_maskRead = 0;
    int m_rangeRead = 1;
    bool m_dualRange = false;
    bool m_hasCableR = false;
    bool m_hasPdBias = false;
    // Maxima at opening (0 or less: the model gives none).
    double m_maxLdiSetPoint = 0.0;
    double m_maxLdiLimit = 0.0;
    double m_maxLdvSetPoint = 0.0;
    double m_maxMdiSetPoint = 0.0;
    double m_maxMdiLimit = 0.0;

    QCheckBox* m_currentLimit = nullptr;
    QCheckBox* m_photodiodeCurrentLimit = nullptr;
    QCheckBox* m_photodiodePowerLimit = nullptr;
    QCheckBox* m_outOfTolerance = nullptr;
    QCheckBox* m_tecOff = nullptr;
    QCheckBox* m_tecTLimit = nullptr;
    QGroupBox* m_rangeGroup = nullptr;
    QRadioButton* m_lowRange = nullptr;
    QRadioButton* m_highRange = nullptr;
};
