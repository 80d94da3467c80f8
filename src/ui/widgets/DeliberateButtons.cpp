#include "ui/widgets/DeliberateButtons.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <algorithm>

CDeliberateButtons::CDeliberateButtons(std::initializer_list<QAbstractButton*> buttons, QObject* parent)
    : QObject(parent)
{
    for (QAbstractButton* button : buttons)
        Add(button);
}

void CDeliberateButtons::Add(QAbstractButton* button)
{
    m_buttons.push_back(button);
    button->installEventFilter(this);
}

bool CDeliberateButtons::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button || event->type() != QEvent::KeyPress)
        return false;
    switch (static_cast<QKeyEvent*>(event)->key())
    {
    case Qt::Key_Up:
    case Qt::Key_Left:
        MoveFocus(button, -1);
        return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
        MoveFocus(button, 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter on the focused button is the same deliberate act as Space; it must not reach the panel,
        // where Enter sends a set point.
        if (button->isEnabled())
            button->click();
        return true;
    default:
        return false;
    }
}

void CDeliberateButtons::MoveFocus(QAbstractButton* from, int step)
{
    const auto at = std::find(m_buttons.begin(), m_buttons.end(), from);
    if (at == m_buttons.end())
        return;
    const int count = static_cast<int>(m_buttons.size());
    int index = static_cast<int>(at - m_buttons.begin());
    for (int tried = 1; tried < count; ++tried)
    {
        index = (index + step + count) % count;
        QAbstractButton* next = m_buttons[static_cast<size_t>(index)];
        if (next->isEnabled() && next->isVisible())
        {
            next->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            return;
        }
    }
}
