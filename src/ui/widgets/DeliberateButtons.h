#pragma once

#include <QObject>
#include <initializer_list>
#include <vector>

class QAbstractButton;

// Keeps a row of radio buttons whose check is a command to an instrument (an output, a mode) from being
// checked by accident. Qt checks, and clicks, the radio button an arrow key moves to; here the arrow
// keys only move the keyboard focus along the row, and a button is checked only by a click, Space or
// Enter on the focused button. The wheel and focus changes never check one either.
class CDeliberateButtons : public QObject
{
    Q_OBJECT

public:
    // The buttons in the order the arrow keys walk them; the guard lives as long as its parent.
    CDeliberateButtons(std::initializer_list<QAbstractButton*> buttons, QObject* parent);
    void Add(QAbstractButton* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MoveFocus(QAbstractButton* from, int step);

    std::vector<QAbstractButton*> m_buttons;
};
