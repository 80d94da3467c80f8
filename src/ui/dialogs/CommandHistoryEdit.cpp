#include "ui/dialogs/CommandHistoryEdit.h"

#include <QKeyEvent>

CCommandHistoryEdit::CCommandHistoryEdit(QWidget* parent) : QLineEdit(parent) {}

void CCommandHistoryEdit::Remember(const QString& line)
{
    if (!line.isEmpty() && (m_history.isEmpty() || m_history.back() != line))
        m_history.append(line);
    if (m_history.size() > MaxLines)
        m_history.removeFirst();
    m_position = static_cast<int>(m_history.size());
    m_draft.clear();
}

void CCommandHistoryEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up && event->modifiers() == Qt::NoModifier)
        Step(-1);
    else if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier)
        Step(1);
    else
        QLineEdit::keyPressEvent(event);
}

void CCommandHistoryEdit::Step(int by)
{
    const int count = static_cast<int>(m_history.size());
    const int next = m_position + by;
    if (next < 0 || next > count)
        return;
    if (m_position == count)
        m_draft = text();
    m_position = next;
    setText(m_position == count ? m_draft : m_history[m_position]);
    end(false);
}
