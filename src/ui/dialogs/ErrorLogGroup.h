#pragma once

#include <QGroupBox>
#include <QTimer>
#include <functional>
#include <optional>

class CErrorLogDlg;
class CInstrBase;
class CPrompter;
class QLabel;
class QPushButton;

// A panel's error-log group: the latest error and its time, the count in the title, and the button that
// shows or hides the panel's log window. A new error makes them bold for a moment.
class CErrorLogGroup : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr int HighlightMs = 1500;

    // source gives the panel's current instrument (or null), as the log window takes it.
    CErrorLogGroup(CPrompter& prompter, std::function<CInstrBase*()> source, QWidget* parent);

    CErrorLogDlg* Log() const { return m_log; }
    // Where the log window was, once it has been shown or placed from the settings.
    std::optional<QPoint> LogPlace() const;
    void PlaceLog(const QPoint& place);
    // Shows the log's latest error when its count has changed (the panel's error watch).
    void ShowLatest();
    void HideLog();
    // The last error stays readable after its connection, marked as of the last connection, and loses
    // the mark when the next connection begins.
    void MarkLastConnection();
    void UnmarkLastConnection();
    // The log of the last connection stays readable after it.
    void EnableShowButton(bool connected);

private:
    void OnShowLog();
    void SetBold(bool bold);

    CErrorLogDlg* m_log = nullptr;
    QLabel* m_lastErrorText = nullptr;
    QLabel* m_lastErrorTime = nullptr;
    QPushButton* m_showLogButton = nullptr;
    int m_errorsShown = 0;
    bool m_logPlaced = false;
    QTimer m_highlightTimer; // one shot: the bold look of a new error ends
};
