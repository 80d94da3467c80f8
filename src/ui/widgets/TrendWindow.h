#pragma once

#include "ui/common/UiContext.h"
#include "ui/widgets/TrendChart.h"

#include <QMap>
#include <QString>
#include <QWidget>
#include <string>

class CProfile;
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
    // The time window and the series the user showed or hid, kept in the panel's settings section: a
    // series chosen before is shown or hidden again as soon as it is fed.
    void Load(const CProfile& profile, const std::string& section);
    void Save(CProfile& profile, const std::string& section) const;
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
    QMap<QString, bool> m_chosen; // series label -> shown, as the user chose (or a stored choice)
};
