#include "ScriptedPrompter.h"

void CScriptedPrompter::Message(QWidget*, const QString& text, EIcon)
{
    messages << text;
    if (whileShown)
        whileShown();
}

bool CScriptedPrompter::AskYesNo(QWidget*, const QString& text)
{
    questions << text;
    if (m_answers.empty())
        return false;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

CPrompter::EOutputChoice CScriptedPrompter::AskOutputsOn(QWidget*, const QString& text)
{
    questions << text;
    if (m_outputChoices.empty())
        return EOutputChoice::Cancel;
    const EOutputChoice choice = m_outputChoices.front();
    m_outputChoices.pop_front();
    return choice;
}

void CScriptedPrompter::Reset()
{
    messages.clear();
    questions.clear();
    beeps = 0;
    m_answers.clear();
    m_outputChoices.clear();
}
