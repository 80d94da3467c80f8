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

// A finite number in [low, high] in the user's locale (high may be infinite: no upper bound). The
// prompt names the bounds' unit when there is one ("between 0 and 500 mA.").
std::optional<double> Number(CPrompter& prompter, QLineEdit* edit, double low, double high,
                             const QString& unit = {});
// "Enter a number between %1 and %2." with the bounds, the unit after the upper one.
QString NumberBetween(double low, double high, const QString& unit);
std::optional<int> Integer(CPrompter& prompter, QLineEdit* edit, int low, int high);
// At most maxChars characters: "Enter no more than %1 characters."
bool MaxChars(CPrompter& prompter, QLineEdit* edit, int maxChars);
// Shows the text, then focuses the edit and selects its text; always false, so a check can end with it.
bool Refuse(CPrompter& prompter, QLineEdit* edit, const QString& text);
} // namespace FieldPrompts
