#include "ui/widgets/TrendRecordBar.h"

#include "ui/widgets/TrendWindow.h"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>

CTrendRecordBar::CTrendRecordBar(const SUiContext& context, const QString& trendTitle, QWidget* parent)
    : QWidget(parent)
{
    setObjectName("trendRecordBar");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_trendButton = new QPushButton("Trend", this);
    m_trendButton->setObjectName("trendButton");
    m_trendButton->setCheckable(true);
    m_record = new CRecordControl(context, this);
    row->addWidget(m_trendButton);
    row->addWidget(m_record, 1);
    connect(m_trendButton, &QPushButton::toggled, this, &CTrendRecordBar::ShowTrend);
    // A window of its own, so that showing it never moves the panel's controls.
    m_trend = new CTrendWindow(context, trendTitle, this);
    m_trend->setWindowFlag(Qt::Tool);
    m_trend->resize(820, 440);
    m_trend->installEventFilter(this);
}

void CTrendRecordBar::Feed(const std::vector<CTrendChart::SSample>& samples)
{
    m_trend->Chart()->Feed(static_cast<double>(QDateTime::currentMSecsSinceEpoch()), samples);
}

CTrendChart* CTrendRecordBar::Trend() const
{
    return m_trend->Chart();
}

void CTrendRecordBar::ShowTrend(bool shown)
{
    m_trend->setVisible(shown);
    if (shown)
        m_trend->raise();
}

bool CTrendRecordBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_trend && event->type() == QEvent::Hide)
        m_trendButton->setChecked(false);
    return QWidget::eventFilter(watched, event);
}
