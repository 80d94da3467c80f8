#include "ui/dialogs/AutoTuneSetpoint.h"

#include "instrument/tec/TEC.h"
#include "ui/common/Prompter.h"
#include "ui/widgets/LocaleNumber.h"
#include "ui/widgets/ReadingState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWizard>
#include <cmath>

const QString CAutoTuneSetpoint::LimitsUnknownText =
    "The TEC's temperature limits could not be read, so the AutoTune was not started.";

CAutoTuneSetpoint::CAutoTuneSetpoint(const SUiContext& context, STecChannelAccess access, QWidget* parent)
    : QWizardPage(parent), m_context(context), m_access(std::move(access))
{
    setObjectName("autoTuneSetpoint");
    setTitle("AutoTune");
    setProperty("caption", "AutoTune Wizard - Select Test Point");
    // Once the tune runs there is no way back to this page.
    setCommitPage(true);
    setButtonText(QWizard::CommitButton, "&Next >");
    auto* text = new QLabel("Please enter the AutoTune test point. You will want to select your typical "
                            "operating point. If you will be operating at two or more set points, you will "
                            "usually want to select the set point furthest away from ambient. ",
                            this);
    text->setWordWrap(true);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName("testPointEdit");
    m_edit->setMaximumWidth(120);
    m_edit->setAlignment(Qt::AlignRight);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Test point:", this));
    row->addWidget(m_edit);
    row->addWidget(new QLabel(QString::fromUtf8("\u00b0C"), this));
    row->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addSpacing(12);
    layout->addLayout(row);
    layout->addStretch(1);
}

void CAutoTuneSetpoint::initializePage()
{
    CTEC* tec = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!tec || !link)
    {
        wizard()->reject();
        return;
    }
    // The set point and the limits the test point is checked against, read on the instrument's strand;
    // Next waits for them.
    m_loaded = false;
    m_edit->setEnabled(false);
    m_edit->setText(ReadingText);
    link.Call(
        this,
        [tec] {
            return SBounds{tec->GetTSetPoint(), tec->GetTLowLimit(), tec->GetTHighLimit()};
        },
        [this](const SBounds& bounds)
        {
            m_bounds = bounds;
            m_loaded = true;
            m_edit->setEnabled(true);
            m_edit->setText(LocaleNumber::Format(bounds.setPoint, 2));
            m_edit->setFocus();
            m_edit->selectAll();
            emit completeChanged();
        });
}

bool CAutoTuneSetpoint::validatePage()
{
    if (!m_loaded)
        return false;
    const std::optional<double> typed = LocaleNumber::Parse(m_edit->text());
    if (!typed || !std::isfinite(*typed))
    {
        m_context.prompter.Message(this, "Enter a number.");
        m_edit->setFocus();
        return false;
    }
    m_testPoint = static_cast<float>(*typed);
    CTEC* tec = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!tec || !link)
    {
        wizard()->reject();
        return false;
    }
    const float high = m_bounds.high;
    const float low = m_bounds.low;
    // The no-value mark is no limit to keep a distance from.
    if (ReadingState::IsNoValue(high) || ReadingState::IsNoValue(low))
    {
        m_context.prompter.Message(this, LimitsUnknownText);
        return false;
    }
    if (m_testPoint > high - LimitMargin)
    {
        m_context.prompter.Message(this, "Your test point must be at least 5 degrees below your high "
                                         "temperature limit.");
        return false;
    }
    if (m_testPoint < low + LimitMargin)
    {
        m_context.prompter.Message(this, "Your test point must be at least 5 degrees above your low "
                                         "temperature limit.");
        return false;
    }
    m_started = true;
    link.Call(
        this, [tec, point = m_testPoint] { tec->StartAutoTune(point); }, [] {});
    return true;
}
