#pragma once

#include "ui/common/Prompter.h"

// The prompter of the running program: modal message boxes titled with the program's name.
class CMessageBoxPrompter : public CPrompter
{
public:
    void Message(QWidget* parent, const QString& text, EIcon icon) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    EOutputChoice AskOutputsOn(QWidget* parent, const QString& text) override;
    void Beep() override;
};
