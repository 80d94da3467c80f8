#include "ui/dialogs/ErrorLogGroup.h"

#include "ui/dialogs/ErrorLogDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace
{
const QString LastConnectionMark = " (last connection)";
const QString ShowLogText = "Show\nLog";
} // namespace

CErrorLogGroup::CErrorLogGroup(CPrompter& prompter, std::function<CInstrBase*()> source, QWidget* parent)
    : QGroupBox("Error Log - No Errors", parent)
{
    setObjectName("errorLogGroup");
    auto* grid = new QGridLayout(this);
    m_lastErrorText = new QLabel(this);
    m_lastErrorText->setObjectName("lastErrorText");
    m_lastErrorText->setWordWrap(true);
    m_lastErrorTime = new QLabel(this);
    m_lastErrorTime->setObjectName("lastErrorTime");
    m_showLogButton = new QPushButton(ShowLogText, this);
    m_showLogButton->setObjectName("showLogButton");
    grid->addWidget(m_lastErrorText, 0, 0);
    grid->addWidget(m_lastErrorTime, 1, 0);
    grid->addWidget(m_showLogButton, 0, 1, 2, 1);
    grid->setColumnStretch(0, 1);
    m_lastErrorText->setMinimumHeight(m_lastErrorText->fontMetrics().height());
    m_lastErrorTime->setMinimumHeight(m_lastErrorTime->fontMetrics().height());
    connect(m_showLogButton, &QPushButton::clicked, this, &CErrorLogGroup::OnShowLog);

    // The window belongs to the panel, not to this group, so it sits over the panel.
    m_log = new CErrorLogDlg(prompter, std::move(source), parent);
    m_log->SetToggleButton(m_showLogButton);
    m_highlightTimer.setSingleShot(true);
    connect(&m_highlightTimer, &QTimer::timeout, this, [this] { SetBold(false); });
}

std::optional<QPoint> CErrorLogGroup::LogPlace() const
{
    // A log never opened has no place of its own yet: the next start lets it open where it may.
    return m_logPlaced ? std::optional<QPoint>(m_log->pos()) : std::nullopt;
}

void CErrorLogGroup::PlaceLog(const QPoint& place)
{
    m_log->move(place);
    m_logPlaced = true;
}

void CErrorLogGroup::ShowLatest()
{
    const int count = m_log->LineCount();
    if (count == m_errorsShown)
        return;
    m_errorsShown = count;
    m_highlightTimer.start(HighlightMs);
    SetBold(true);
    if (count == 0)
    {
        setTitle("Error Log - No errors");
        m_lastErrorText->clear();
        m_lastErrorTime->clear();
        return;
    }
    m_lastErrorText->setText(m_log->MostRecentText());
    m_lastErrorTime->setText(CErrorLogDlg::FormatLocalTime(m_log->MostRecentTime(), "at %X on %x"));
    setTitle(count == 1 ? QString("Error Log - %1 error (showing last error)").arg(count)
                        : QString("Error Log - %1 errors (showing last error)").arg(count));
}

void CErrorLogGroup::HideLog()
{
    if (!m_log->isVisible())
        return;
    m_log->hide();
    m_showLogButton->setText(ShowLogText);
}

void CErrorLogGroup::MarkLastConnection()
{
    // Kept, but not to be read as an error of a unit connected now.
    if (!m_lastErrorText->text().isEmpty())
        m_lastErrorTime->setText(m_lastErrorTime->text() + LastConnectionMark);
}

void CErrorLogGroup::UnmarkLastConnection()
{
    if (const QString time = m_lastErrorTime->text(); time.endsWith(LastConnectionMark))
        m_lastErrorTime->setText(time.chopped(LastConnectionMark.size()));
}

void CErrorLogGroup::EnableShowButton(bool connected)
{
    m_showLogButton->setEnabled(connected || m_log->LineCount() > 0);
}

void CErrorLogGroup::OnShowLog()
{
    if (m_log->isVisible())
    {
        HideLog();
        return;
    }
    m_log->show();
    m_log->raise();
    m_logPlaced = true;
    m_showLogButton->setText("Hide\nLog");
}

void CErrorLogGroup::SetBold(bool bold)
{
    for (QWidget* widget : {static_cast<QWidget*>(m_showLogButton), static_cast<QWidget*>(m_lastErrorText),
                            static_cast<QWidget*>(m_lastErrorTime)})
    {
        QFont font = widget->font();
        font.setBold(bold);
        widget->setFont(font);
    }
}
