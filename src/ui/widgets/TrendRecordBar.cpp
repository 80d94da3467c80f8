#include "ui/widgets/TrendRecordBar.h"

#include "ui/app/Prompter.h"
#include "ui/widgets/TrendChart.h"

#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>

CTrendRecordBar::CTrendRecordBar(const SUiContext& context, const QString& trendTitle, QWidget* parent)
    : QWidget(parent), m_context(context), m_trendTitle(trendTitle)
{
    setObjectName("trendRecordBar");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_trendButton = new QPushButton("Trend", this);
    m_trendButton->setObjectName("trendButton");
    m_trendButton->setCheckable(true);
    m_recordButton = new QPushButton("Record...", this);
    m_recordButton->setObjectName("recordButton");
    row->addWidget(m_trendButton);
    row->addWidget(m_recordButton);
    row->addStretch(1);
    connect(m_trendButton, &QPushButton::toggled, this, &CTrendRecordBar::ShowTrend);
    connect(m_recordButton, &QPushButton::clicked, this, &CTrendRecordBar::OnRecordButton);
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

void CTrendRecordBar::Record(CInstrBase& instrument)
{
    if (m_recorder.IsRecording())
        m_recorder.Record(instrument, CCsvRecorder::ReadingsOf(instrument));
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

void CTrendRecordBar::OnRecordButton()
{
    if (m_recorder.IsRecording())
    {
        StopRecording();
        return;
    }
    const QString suggested = QDir::home().filePath(
        QString("readings-%1.csv").arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
    const QString path =
        QFileDialog::getSaveFileName(this, "Record readings", suggested, "CSV files (*.csv)");
    if (!path.isEmpty())
        StartRecording(path);
}

bool CTrendRecordBar::StartRecording(const QString& path)
{
    QString error;
    if (!m_recorder.Start(path, error))
    {
        m_context.prompter.Message(this, QString("Could not write %1: %2").arg(path, error));
        return false;
    }
    m_recordButton->setText("Stop Recording");
    m_recordButton->setEnabled(true);
    return true;
}

void CTrendRecordBar::StopRecording()
{
    m_recorder.Stop();
    m_recordButton->setText("Record...");
    m_recordButton->setEnabled(m_connected);
}

void CTrendRecordBar::UpdateControls(bool connected)
{
    m_connected = connected;
    if (!connected && m_recorder.IsRecording())
        StopRecording();
    m_recordButton->setEnabled(connected || m_recorder.IsRecording());
}
