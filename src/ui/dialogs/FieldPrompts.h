#pragma once

#include <QString>
#include <optional>

class CPrompter;
class QLineEdit;
class QWidget;

// The dialogs' range checks of typed values, with the framework's prompts ("Enter a number between
// %1 and %2." ...). On a failure the prompt is shown, the edit gets the focus and its text is selected.
namespace FieldPrompts
{
inline const QString EnterNumber = "Enter a number.";
inline const QString EnterNumberBetween = "Enter a number between %1 and %2.";
inline const QString EnterInteger = "Enter an integer.";
inline const QString EnterIntegerBetween = "Enter an integer between %1 and %2.";

// A finite number in [low, high] in the user's locale (high may be infinite: no upper bound).
std::optional<double> Number(CPrompter& prompter, QLineEdit* edit, double low, double high);
std::optional<int> Integer(CPrompter& prompter, QLineEdit* edit, int low, int high);
} // namespace FieldPrompts
