#pragma once

#include <QPlainTextEdit>

class CTerminal;

// The terminal's text area: shows what went to and came from the instrument, and hands every key typed
// into it to the terminal, which sends it to the instrument at once, instead of editing itself.
class CEchoEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    CEchoEdit(CTerminal& terminal, QWidget* parent);

    // Removes the last character when the last line has one (a backspace sent to the instrument).
    void EraseLastCharacter();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Tab and the other navigation keys belong to the instrument here, not to the dialog.
    bool focusNextPrevChild(bool next) override;

private:
    CTerminal& m_terminal;
};
