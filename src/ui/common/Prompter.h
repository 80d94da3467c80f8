#pragma once

#include <QString>

class QWidget;

// Every message box and confirmation of the program goes through one prompter, so that tests answer
// them without a modal loop. The panels and dialogs get it from their context, never from a global.
class CPrompter
{
public:
    enum class EIcon
    {
        Information,
        Warning,
        Error
    };
    // The answers when outputs are still on as the user leaves them.
    enum class EOutputChoice
    {
        SwitchOff,
        LeaveOn,
        Cancel
    };

    virtual ~CPrompter() = default;
    // A message with an OK button.
    virtual void Message(QWidget* parent, const QString& text, EIcon icon = EIcon::Warning) = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // Outputs still on: switch them off first, leave them on, or cancel what the user was doing.
    virtual EOutputChoice AskOutputsOn(QWidget* parent, const QString& text) = 0;
    // The default system sound (a refused action, a new instrument error).
    virtual void Beep() = 0;
};
