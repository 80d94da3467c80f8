#pragma once

#include <QString>

class CPrompter;
class QLineEdit;

// The checks a dialog runs on its fields when it is about to take them: on a bad value the user is told
// why (through the prompter), the field gets the focus with its text selected, and the caller stays open.
namespace FieldValidation
{
// A whole number from min to max: "Enter an integer." when the text is none, else
// "Enter an integer between %1 and %2." when it is out of range.
bool ReadInt(CPrompter& prompter, QLineEdit* field, int min, int max, int& value);
// "Enter no more than %1 characters."
bool CheckMaxChars(CPrompter& prompter, QLineEdit* field, int maxChars);
// Shows the text, then focuses the field and selects its text; always false, so a check can end with it.
bool Refuse(CPrompter& prompter, QLineEdit* field, const QString& text);
} // namespace FieldValidation
