#include "ui/dialogs/EchoEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTextBlock>

CEchoEdit::CEchoEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    // Read-only to the editor itself: every change comes from the terminal. The caret stays visible
    // and the text selectable, so copying works as usual.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setAcceptDrops(false);
}

void CEchoEdit::EraseLastCharacter()
{
    const QTextBlock last = document()->lastBlock();
    if (last.length() <= 1) // only the block's own end: the line is empty
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.deletePreviousChar();
}

bool CEchoEdit::focusNextPrevChild(bool)
{
    return false;
}

void CEchoEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::SelectAll))
    {
        selectAll();
        return;
    }
    if (event->matches(QKeySequence::Copy))
    {
        copy();
        return;
    }
    if (event->matches(QKeySequence::Paste))
    {
        emit textPasted(QApplication::clipboard()->text().toLatin1().toStdString());
        return;
    }
    switch (event->key())
    {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit enterPressed();
        return;
    case Qt::Key_Backspace:
        emit backspacePressed();
        return;
    default:
        break;
    }
    // Control characters (Tab, Escape, Ctrl+letter) go to the instrument as well; characters beyond
    // 8 bits have no byte to send.
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() <= 0xFF)
    {
        emit characterTyped(static_cast<char>(text[0].unicode()));
        return;
    }
    // Caret movement, page keys and the like keep their usual meaning.
    QPlainTextEdit::keyPressEvent(event);
}
