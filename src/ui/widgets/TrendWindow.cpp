#include "ui/widgets/TrendWindow.h"

#include "diag/Profile.h"
#include "ui/common/Prompter.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

CTrendWindow::CTrendWindow(const SUiContext& context, const QString& title, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    setObjectName("trendWindow");
    setWindowTitle(title);
    m_chart = new CTrendChart(this);
    m_seriesList = new QListWidget(this);
    m_seriesList->setObjectName("trendSeriesList");
    m_seriesList->setToolTip("The readings drawn");
    m_seriesList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_seriesList->setFixedWidth(190);
    auto* body = new QHBoxLayout;
    body->addWidget(m_chart, 1);
    body->addWidget(m_seriesList);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(BuildControls());
    layout->addLayout(body, 1);

    connect(m_chart, &CTrendChart::seriesAdded, this, &CTrendWindow::AddItem);
    connect(m_chart, &CTrendChart::shownChanged, this, &CTrendWindow::ShowItem);
    connect(m_seriesList, &QListWidget::itemChanged, this, &CTrendWindow::OnItemChanged);
    connect(m_chart, &CTrendChart::viewChanged, this, &CTrendWindow::ShowViewState);
    m_windowBox->setCurrentIndex(1);
    // The list beside the chart names the curves: no legend to crowd the plot.
    m_chart->View()->chart()->legend()->hide();
}

namespace
{
// Between two series labels in a stored list; no label holds it.
const QString LabelSeparator = "|";
const char* const WindowKey = "TrendWindow";
const char* const ShownKey = "TrendShown";
const char* const HiddenKey = "TrendHidden";

void WriteLabels(CProfile& profile, const std::string& section, const char* key, const QStringList& labels)
{
    if (labels.isEmpty())
        profile.DeleteKey(section, key);
    else
        profile.WriteString(section, key, labels.join(LabelSeparator).toStdString());
}
} // namespace

void CTrendWindow::Load(const CProfile& profile, const std::string& section)
{
    const int window = profile.GetInt(section, WindowKey, m_windowBox->currentIndex());
    if (window >= 0 && window < m_windowBox->count())
        m_windowBox->setCurrentIndex(window);
    for (const auto& [key, shown] : {std::pair{ShownKey, true}, std::pair{HiddenKey, false}})
    {
        const QString labels = QString::fromStdString(profile.GetString(section, key, ""));
        for (const QString& label : labels.split(LabelSeparator, Qt::SkipEmptyParts))
            m_chosen[label] = shown;
    }
}

void CTrendWindow::Save(CProfile& profile, const std::string& section) const
{
    profile.WriteInt(section, WindowKey, m_windowBox->currentIndex());
    QStringList shown;
    QStringList hidden;
    for (auto it = m_chosen.cbegin(); it != m_chosen.cend(); ++it)
        (it.value() ? shown : hidden) << it.key();
    WriteLabels(profile, section, ShownKey, shown);
    WriteLabels(profile, section, HiddenKey, hidden);
}

QWidget* CTrendWindow::BuildControls()
{
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    m_windowBox = new QComboBox(box);
    m_windowBox->setObjectName("trendWindowBox");
    m_windowBox->addItems({"1 min", "10 min", "1 h", "All"});
    auto* windowLabel = new QLabel("&Window", box);
    windowLabel->setBuddy(m_windowBox);
    m_pauseButton = new QPushButton("Pause", box);
    m_pauseButton->setObjectName("trendPauseButton");
    m_pauseButton->setCheckable(true);
    auto* resetButton = new QPushButton("Follow", box);
    resetButton->setObjectName("trendResetButton");
    resetButton->setToolTip("Show the newest readings over the window again (also a double click)");
    auto* pngButton = new QPushButton("Export PNG...", box);
    pngButton->setObjectName("trendExportPngButton");
    auto* csvButton = new QPushButton("Export CSV...", box);
    csvButton->setObjectName("trendExportCsvButton");
    csvButton->setToolTip("The readings shown, over the times shown");
    for (QWidget* widget :
         std::initializer_list<QWidget*>{windowLabel, m_windowBox, m_pauseButton, resetButton})
        row->addWidget(widget);
    row->addStretch(1);
    row->addWidget(pngButton);
    row->addWidget(csvButton);

    connect(m_windowBox, &QComboBox::currentIndexChanged, this,
            [this](int index)
            {
                if (index >= 0 && index < static_cast<int>(std::size(Windows)))
                    m_chart->SetWindow(Windows[index]);
            });
    connect(m_pauseButton, &QPushButton::toggled, m_chart, &CTrendChart::SetPaused);
    connect(resetButton, &QPushButton::clicked, m_chart, &CTrendChart::ResetView);
    connect(pngButton, &QPushButton::clicked, this, &CTrendWindow::OnExportPng);
    connect(csvButton, &QPushButton::clicked, this, &CTrendWindow::OnExportCsv);
    return box;
}

void CTrendWindow::AddItem(int series)
{
    auto* item = new QListWidgetItem(m_chart->SeriesLabel(series));
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    m_updating = true;
    m_seriesList->insertItem(series, item);
    m_updating = false;
    // A choice stored with the panel holds for the series the moment it is back.
    if (const auto chosen = m_chosen.constFind(item->text()); chosen != m_chosen.cend())
        m_chart->SetShown(series, chosen.value());
    ShowItem(series);
    // Wide enough for every name: "Laser 2 Io set point [mA]" is not cut.
    const int width = m_seriesList->sizeHintForColumn(0) + 2 * m_seriesList->frameWidth() +
                      m_seriesList->verticalScrollBar()->sizeHint().width() + 4;
    if (width > m_seriesList->width())
        m_seriesList->setFixedWidth(width);
}

void CTrendWindow::ShowItem(int series)
{
    QListWidgetItem* item = m_seriesList->item(series);
    if (!item)
        return;
    // A swatch of the curve's colour, the legend of the chart.
    QPixmap swatch(12, 12);
    swatch.fill(m_chart->IsShown(series) ? m_chart->SeriesColor(series) : QColor(Qt::transparent));
    m_updating = true;
    item->setCheckState(m_chart->IsShown(series) ? Qt::Checked : Qt::Unchecked);
    item->setIcon(QIcon(swatch));
    m_updating = false;
}

void CTrendWindow::OnItemChanged(QListWidgetItem* item)
{
    if (m_updating)
        return;
    const bool shown = item->checkState() == Qt::Checked;
    m_chosen[item->text()] = shown;
    m_chart->SetShown(m_seriesList->row(item), shown);
}

void CTrendWindow::ShowViewState()
{
    // Zooming and panning pause the view: the button says so.
    const QSignalBlocker blocker(m_pauseButton);
    m_pauseButton->setChecked(m_chart->IsPaused());
}

QString CTrendWindow::AskPath(const QString& caption, const QString& suffix, const QString& filter)
{
    const QString suggested = QDir::home().filePath(
        QString("trend-%1.%2").arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"), suffix));
    return QFileDialog::getSaveFileName(this, caption, suggested, filter);
}

void CTrendWindow::OnExportPng()
{
    const QString path = AskPath("Export the trend as a picture", "png", "PNG pictures (*.png)");
    QString error;
    if (!path.isEmpty() && !m_chart->ExportPng(path, error))
        m_context.prompter.Message(
            this, QString("Could not write %1: %2").arg(QDir::toNativeSeparators(path), error),
            CPrompter::EIcon::Error);
}

void CTrendWindow::OnExportCsv()
{
    const QString path = AskPath("Export the readings shown", "csv", "CSV files (*.csv)");
    QString error;
    if (!path.isEmpty() && !m_chart->ExportCsv(path, error))
        m_context.prompter.Message(
            this, QString("Could not write %1: %2").arg(QDir::toNativeSeparators(path), error),
            CPrompter::EIcon::Error);
}
