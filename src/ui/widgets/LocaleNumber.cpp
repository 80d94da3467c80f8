#include "ui/widgets/LocaleNumber.h"

#include <algorithm>

namespace LocaleNumber
{
QLocale Locale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

QString Format(double value, int precision)
{
    return Locale().toString(value, 'f', std::clamp(precision, 0, 9));
}

QString Trimmed(double value, int precision)
{
    QString text = Format(value, precision);
    const QString point = Locale().decimalPoint();
    if (text.contains(point))
    {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    return text == "-0" ? QString("0") : text;
}

QString Bound(double value)
{
    return Trimmed(value, 6);
}

std::optional<double> Parse(const QString& text)
{
    bool ok = false;
    const double value = Locale().toDouble(text.trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return value;
}
} // namespace LocaleNumber
