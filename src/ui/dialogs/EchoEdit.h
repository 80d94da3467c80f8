#pragma once

#include <QPlainTextEdit>
#include <string>

// The terminal's text area: shows what went to and came from the instrument, and hands every key typed
// into it on as a signal (the terminal sends it to the instrument at once) instead of editing itself.
class CEchoEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CEchoEdit(QWidget* parent);

    // Removes the last character when the last line has one (a backspace sent to the instrument).
    void EraseLastCharacter();

signals:
    void characterTyped(char byte);
    void enterPressed();
    void backspacePressed();
    void textPasted(const std::string& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Tab and the other navigation keys belong to the instrument here, not to the dialog.
    bool focusNextPrevChild(bool next) override;
};
