#include "ScriptedPrompter.h"

void CScriptedPrompter::Message(QWidget*, const QString& text, EIcon)
{
    messages << text;
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

void CScriptedPrompter::Reset()
{
    messages.clear();
    questions.clear();
    beeps = 0;
    m_answers.clear();
}
