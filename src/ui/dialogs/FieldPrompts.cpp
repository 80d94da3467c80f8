#include "ui/dialogs/FieldPrompts.h"

#include "ui/common/Prompter.h"
#include "ui/widgets/LocaleNumber.h"

#include <QLineEdit>
#include <cmath>

namespace FieldPrompts
{
namespace
{
std::optional<double> Finite(const QLineEdit* edit)
{
    const std::optional<double> value = LocaleNumber::Parse(edit->text());
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}
} // namespace

bool Refuse(CPrompter& prompter, QLineEdit* edit, const QString& text)
{
    prompter.Message(edit->window(), text);
    edit->setFocus();
    edit->selectAll();
    return false;
}

bool MaxChars(CPrompter& prompter, QLineEdit* edit, int maxChars)
{
    if (edit->text().size() <= maxChars)
        return true;
    return Refuse(prompter, edit, QString("Enter no more than %1 characters.").arg(maxChars));
}

QString NumberBetween(double low, double high, const QString& unit)
{
    const QString upper = LocaleNumber::Bound(high);
    return EnterNumberBetween.arg(LocaleNumber::Bound(low), unit.isEmpty() ? upper : upper + " " + unit);
}

std::optional<double> Number(CPrompter& prompter, QLineEdit* edit, double low, double high,
                             const QString& unit)
{
    const std::optional<double> value = Finite(edit);
    if (!value)
    {
        Refuse(prompter, edit, EnterNumber);
        return std::nullopt;
    }
    if (*value < low || *value > high)
    {
        Refuse(prompter, edit, NumberBetween(low, high, unit));
        return std::nullopt;
    }
    return value;
}

std::optional<int> Integer(CPrompter& prompter, QLineEdit* edit, int low, int high)
{
    bool ok = false;
    const int value = LocaleNumber::Locale().toInt(edit->text().trimmed(), &ok);
    if (!ok)
    {
        Refuse(prompter, edit, EnterInteger);
        return std::nullopt;
    }
    if (value < low || value > high)
    {
        Refuse(prompter, edit, EnterIntegerBetween.arg(low).arg(high));
        return std::nullopt;
    }
    return value;
}
} // namespace FieldPrompts
