#pragma once

#include "ui/common/UiContext.h"
#include "ui/widgets/TecChannelAccess.h"

#include <QWizardPage>

class QLineEdit;

// Second page: the test point, checked against the channel's T limits as read when the page opened
// (at least 5 degrees inside both, the high limit checked first); Next starts the tune.
class CAutoTuneSetpoint : public QWizardPage
{
    Q_OBJECT

public:
    static constexpr float LimitMargin = 5.0f; // [°C]
    static const QString LimitsUnknownText;

    CAutoTuneSetpoint(const SUiContext& context, STecChannelAccess access, QWidget* parent = nullptr);

    static inline const QString ReadingText = "Reading...";

    // Reads the set point and the T limits on the instrument's strand; Next waits for them.
    void initializePage() override;
    bool isComplete() const override { return m_loaded; }
    // Next: checks the test point and starts the tune; false keeps the page.
    bool validatePage() override;

    bool Started() const { return m_started; }
    float TestPoint() const { return m_testPoint; } // [°C]

private:
    SUiContext m_context;
    STecChannelAccess m_access;
    QLineEdit* m_edit = nullptr;
    float m_testPoint = 0.0f;
    struct SBounds
    {
        float setPoint = 0.0f;
        float low = 0.0f;
        float high = 0.0f;
    };
    // As read when the page opened.
    SBounds m_bounds;
    bool m_loaded = false;
    bool m_started = false;
};
