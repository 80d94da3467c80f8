#include "ui/dialogs/AutoTuneProcess.h"

#include "instrument/tec/TEC.h"
#include "ui/widgets/LocaleNumber.h"
#include "ui/widgets/TrendChart.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWizard>

namespace
{
QFont Bold(const QFont& base, int pixels)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}
} // namespace

CAutoTuneProcess::CAutoTuneProcess(STecChannelAccess access, QWidget* parent)
    : QWizardPage(parent), m_access(std::move(access))
{
    setObjectName("autoTuneProcess");
    setTitle("AutoTune");
    setProperty("caption", "AutoTune Wizard - In Process");
    // Leaving this page goes to the results only: no way back to a tune already running. Its only button
    // besides Cancel reads Finish and stays disabled; the page moves on by itself.
    setCommitPage(true);
    setButtonText(QWizard::CommitButton, "Finish");
    auto* text =
        new QLabel("The AutoTune is in progress. Depending on the speed of the mount, it can take 20 "
                   "minutes or more to complete the process, so be patient.\n\nPress Cancel to "
                   "terminate AutoTune.",
                   this);
    text->setWordWrap(true);
    m_step = new QLabel(this);
    m_step->setObjectName("stepText");
    m_step->setAlignment(Qt::AlignCenter);
    m_step->setFont(Bold(font(), 20));
    // The longest step line is wider than the page: it wraps rather than losing both ends.
    m_step->setWordWrap(true);
    m_step->setMinimumHeight(3 * QFontMetrics(m_step->font()).height());
    const QFont big = Bold(font(), 26);
    auto* caption = new QLabel("T =", this);
    m_temperature = new QLabel(this);
    m_temperature->setObjectName("temperatureValue");
    m_temperature->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_temperature->setMinimumWidth(QFontMetrics(big).horizontalAdvance("-000.00") + 6);
    auto* unit = new QLabel(QString::fromUtf8("\u00b0C"), this);
    for (QLabel* label : {caption, m_temperature, unit})
        label->setFont(big);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(caption);
    row->addWidget(m_temperature);
    row->addWidget(unit);
    row->addStretch(1);
    m_chart = new CTrendChart(this, 2048);
    m_chart->AddSeries("T", QString::fromUtf8("\u00b0C"), QColor(200, 40, 40));
    m_chart->AddSeries("Test point", QString::fromUtf8("\u00b0C"), QColor(40, 90, 200));
    m_chart->setMinimumHeight(180);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_step);
    layout->addLayout(row);
    layout->addWidget(m_chart, 1);

    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &CAutoTuneProcess::Tick);
}

QString CAutoTuneProcess::StepText(int progress)
{
    if (progress < 200)
        return {};
    if (progress < 300)
        return "Step 1 of 3:\nDetermining the Proportional & Derivative terms...";
    if (progress < 400)
        return "Step 2 of 3:\nStabilizing using the Proportional & Derivative terms...";
    if (progress < 500)
        return "Step 3 of 3:\nDetermining the Integral term...";
    return "Complete.";
}

void CAutoTuneProcess::initializePage()
{
    m_finished = false;
    m_reading = false;
    m_finalStatus = -1;
    m_unreadable = 0;
    m_chart->Clear();
    m_timer.start();
}

void CAutoTuneProcess::cleanupPage()
{
    m_timer.stop();
}

void CAutoTuneProcess::Tick()
{
    CTEC* tec = m_access.Direct();
    const SInstrumentLink& link = m_access.Link();
    if (!tec || !link)
    {
        m_timer.stop();
        if (wizard())
            wizard()->reject();
        return;
    }
    // A unit slower than the tick keeps one read under way, never a queue of them.
    if (m_reading || m_finished)
        return;
    m_reading = true;
    link.Call(
        this,
        [tec]
        {
            return SProgress{tec->GetAutoTuneState(), tec->GetAutoTuneResult(), tec->GetT(),
                             tec->IsAutoTuneSupported()};
        },
        [this](const SProgress& progress)
        {
            m_reading = false;
            if (!m_finished)
                Show(progress);
        });
}

void CAutoTuneProcess::Show(const SProgress& progress)
{
    m_temperature->setText(LocaleNumber::Format(progress.temperature, 2));
    if (progress.temperature > CTEC::NoValue / 10)
        m_chart->Append(0, progress.temperature);
    m_chart->Append(1, m_testPoint);
    // One status query that failed does not end a tune that is still running.
    if (progress.status == -1 && progress.supported && ++m_unreadable < UnreadableTicks)
        return;
    if (progress.status != Running)
    {
        Finish(progress.status);
        return;
    }
    m_unreadable = 0;
    m_step->setText(StepText(progress.state));
}

void CAutoTuneProcess::Finish(int status)
{
    m_timer.stop();
    m_finalStatus = status;
    // A tune that did not succeed may still drive the mount: stop it before the failure is shown.
    if (status != Succeeded)
    {
        CTEC* tec = m_access.Direct();
        if (const SInstrumentLink& link = m_access.Link(); tec && link)
            link.Call(
                this, [tec] { tec->SetOutput(false); }, [] {});
    }
    m_finished = true;
    emit completeChanged();
    if (wizard())
        wizard()->next();
}
