#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>

class CInstrBase;
class CPrompter;
class QListWidget;
class QPushButton;

// The modeless error log of one panel: every error the instrument reports, newest first, a beep for
// each. It lives as long as its panel and keeps collecting while hidden.
class CErrorLogDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int TickMs = 500;

    // source gives the panel's current instrument (or null) each time the log looks for errors, so the
    // log never holds an instrument the panel has deleted.
    CErrorLogDlg(CPrompter& prompter, std::function<CInstrBase*()> source, QWidget* parent);

    void SetToggleButton(QPushButton* button) { m_toggleButton = button; }
    void SetTitle(const QString& title);

    int LineCount() const;
    const QString& MostRecentText() const { return m_recentText; }
    int64_t MostRecentTime() const { return m_recentTime; }

    // Moves every record of the instrument's error list into the list (the timer's work).
    void CollectErrors();

    // The time in the C library's local form (strftime: "%x %X" is the local date and time), so the
    // log reads as the user's other programs do.
    static QString FormatLocalTime(int64_t time, const char* format);

    // "Hide", Escape and the close box: hidden, still collecting.
    void reject() override;

private:
    void OnClear();

    CPrompter& m_prompter;
    std::function<CInstrBase*()> m_source;
    QPushButton* m_toggleButton = nullptr;
    QListWidget* m_list = nullptr;
    QString m_recentText;
    int64_t m_recentTime = 0;
    QTimer m_timer;
};
