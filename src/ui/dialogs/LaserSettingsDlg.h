#pragma once

#include "ui/dialogs/SettingFields.h"
#include "ui/dialogs/SettingsPage.h"
#include "ui/widgets/LaserChannelAccess.h"

#include <QString>
#include <set>
#include <vector>

class CLaser;
class COutputOffBoxes;
class QGroupBox;
class QRadioButton;

// The laser settings page: which conditions turn the output off, the four limits, cable resistance,
// photodiode response and bias, tolerance, output-on delay and, on dual-range models, the current
// range. Its edits are described once (LaserSettingRows); on OK it sends only the values the user
// changed, in an order that keeps the unit's limits consistent.
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

    CLaserSettingsDlg(const SUiContext& context, SLaserChannelAccess access, QWidget* parent = nullptr);

    bool Load() override;
    bool Validate() override;
    void Write(std::function<void(bool)> done) override;

private:
    // What the page shows, read from the unit in one group on the instrument's strand.
    struct SSnapshot
    {
        bool dualRange = false;
        std::set<uint32_t> lacking;
        bool tecConditions = false;
        int mask = 0;
        std::vector<double> values;
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
    QGroupBox* BuildRange();
    bool Offered(uint32_t key) const { return m_lacking.count(key) == 0; }
    void OnPdResponseEdited();
    bool ValidateField(size_t field, double low, double high);
    bool ValidateField(size_t field);
    void AddWrites(CWriteSequence<CLaser>& writes);

    SLaserChannelAccess m_access;
    CSettingFields m_fields;
    std::set<uint32_t> m_lacking;
    int m_rangeRead = 1;
    bool m_dualRange = false;
    // Maxima at opening (0 or less: the model gives none).
    double m_maxLdiSetPoint = 0.0;
    double m_maxLdiLimit = 0.0;
    double m_maxLdvSetPoint = 0.0;
    double m_maxMdiSetPoint = 0.0;
    double m_maxMdiLimit = 0.0;

    COutputOffBoxes* m_conditions = nullptr;
    QGroupBox* m_rangeGroup = nullptr;
    QRadioButton* m_lowRange = nullptr;
    QRadioButton* m_highRange = nullptr;
};
