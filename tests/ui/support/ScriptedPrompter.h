#pragma once

#include "ui/common/Prompter.h"

#include <QStringList>
#include <deque>
#include <functional>

// Answers the program's message boxes in tests: records every text shown, answers questions from a
// queue (No when the queue is empty) and counts beeps. No modal loop ever runs.
class CScriptedPrompter : public CPrompter
{
public:
    void Message(QWidget* parent, const QString& text, EIcon icon) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    // Answers from its own queue; Cancel when the queue is empty.
    EOutputChoice AskOutputsOn(QWidget* parent, const QString& text) override;
    void Beep() override { ++beeps; }

    void QueueAnswer(bool yes) { m_answers.push_back(yes); }
    void QueueOutputChoice(EOutputChoice choice) { m_outputChoices.push_back(choice); }
    void Reset();

    QStringList messages;  // every message, in order
    QStringList questions; // every question, in order
    int beeps = 0;
    // Runs while a message is "open", as whatever else the window does meanwhile (a timer, a signal).
    std::function<void()> whileShown;

private:
    std::deque<bool> m_answers;
    std::deque<EOutputChoice> m_outputChoices;
};
