#pragma once

#include "ui/app/UiContext.h"
#include "ui/widgets/TrendChart.h"

#include <QWidget>

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// A panel's trend window: the chart, a check list of every series the panel has fed (the user picks
// what is drawn), the time window, pause and a reset of the view, and the export of what is shown as
// a PNG picture or a CSV file.
class CTrendWindow : public QWidget
{
    Q_OBJECT

public:
    // The windows offered, in the order of the list [ms]; the last shows everything.
    static constexpr double Windows[] = {60e3, 600e3, 3600e3, CTrendChart::AllMs};

    CTrendWindow(const SUiContext& context, const QString& title, QWidget* parent = nullptr);

    CTrendChart* Chart() const { return m_chart; }
    // Asks for a file and writes the picture or the table there; a failure is said.
    void OnExportPng();
    void OnExportCsv();

private:
    QWidget* BuildControls();
    void AddItem(int series);
    // The item's check and colour as the chart has them.
    void ShowItem(int series);
    void OnItemChanged(QListWidgetItem* item);
    void ShowViewState();
    QString AskPath(const QString& caption, const QString& suffix, const QString& filter);

    SUiContext m_context;
    CTrendChart* m_chart = nullptr;
    QListWidget* m_seriesList = nullptr;
    QComboBox* m_windowBox = nullptr;
    QPushButton* m_pauseButton = nullptr;
    bool m_updating = false;
};
