#include "ui/widgets/TrendRecordBar.h"

#include "ui/widgets/TrendChart.h"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>

CTrendRecordBar::CTrendRecordBar(const SUiContext& context, const QString& trendTitle, QWidget* parent)
    : QWidget(parent), m_trendTitle(trendTitle)
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
    SetSeries({});
}

void CTrendRecordBar::SetSeries(const SeriesList& series)
{
    const bool shown = m_trend && m_trend->isVisible();
    const QRect geometry = m_trend ? m_trend->geometry() : QRect();
    if (m_trend)
    {
        m_trend->removeEventFilter(this);
        m_trend->deleteLater();
    }
    m_trend = new CTrendChart(this);
    m_trend->setWindowFlag(Qt::Tool);
    m_trend->setWindowTitle(m_trendTitle);
    m_trend->resize(560, 320);
    for (const auto& [name, color] : series)
        m_trend->AddSeries(name, color);
    m_trend->installEventFilter(this);
    if (geometry.isValid())
        m_trend->setGeometry(geometry);
    m_trend->setVisible(shown);
}

void CTrendRecordBar::Append(int series, std::optional<double> value)
{
    if (series < m_trend->SeriesCount())
        m_trend->Plot(series, static_cast<double>(QDateTime::currentMSecsSinceEpoch()), value);
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
