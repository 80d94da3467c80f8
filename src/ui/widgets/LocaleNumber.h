#pragma once

#include <QLocale>
#include <QString>
#include <optional>

// Numbers as the user reads and types them: the user's locale, without group separators (a "." typed
// under a decimal-comma locale is refused, never read as a thousands mark). Numbers to instruments are
// formatted by the core, always with ".".
namespace LocaleNumber
{
QLocale Locale();
// The value with `precision` digits after the decimal separator.
QString Format(double value, int precision);
// At most `precision` decimals, trailing zeros and then a bare decimal separator removed ("2", "-0.5";
// never "-0" or an exponent).
QString Trimmed(double value, int precision);
// Trimmed at six decimals: how the range prompts write their bounds.
QString Bound(double value);
// nullopt for an empty text or one that is no number in the user's locale.
std::optional<double> Parse(const QString& text);
} // namespace LocaleNumber
