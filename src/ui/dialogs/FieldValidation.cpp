#include "ui/dialogs/FieldValidation.h"

#include "ui/app/Prompter.h"

#include <QLineEdit>

namespace FieldValidation
{
bool ReadInt(CPrompter& prompter, QLineEdit* field, int min, int max, int& value)
{
    bool isNumber = false;
    const qlonglong number = field->text().trimmed().toLongLong(&isNumber);
    if (!isNumber)
        return Refuse(prompter, field, "Enter an integer.");
    if (number < min || number > max)
        return Refuse(prompter, field, QString("Enter an integer between %1 and %2.").arg(min).arg(max));
    value = static_cast<int>(number);
    return true;
}

bool CheckMaxChars(CPrompter& prompter, QLineEdit* field, int maxChars)
{
    if (field->text().size() <= maxChars)
        return true;
    return Refuse(prompter, field, QString("Enter no more than %1 characters.").arg(maxChars));
}

bool Refuse(CPrompter& prompter, QLineEdit* field, const QString& text)
{
    prompter.Message(field->window(), text);
    field->setFocus();
    field->selectAll();
    return false;
}
} // namespace FieldValidation
