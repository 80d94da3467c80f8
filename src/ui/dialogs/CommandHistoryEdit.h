#pragma once

#include <QLineEdit>
#include <QStringList>

// The terminal's command line: Up and Down step through the lines sent before, as a shell does; the
// line being typed is kept and comes back after the newest.
class CCommandHistoryEdit : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 100;

    explicit CCommandHistoryEdit(QWidget* parent = nullptr);

    // A line that was sent; the same line twice in a row is kept once.
    void Remember(const QString& line);
    const QStringList& History() const { return m_history; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Step(int by);

    QStringList m_history;
    int m_position = 0; // m_history.size() while the typed line shows
    QString m_draft;
};
