#include "ui/ShownNumber.h"

#include <QRegularExpression>

QString ShownNumber::localized(const QString &text, const QLocale &locale)
{
    const QChar point = locale.decimalPoint();
    if (point == QLatin1Char('.'))
        return text;
    // A second point after the digits makes it a version or an address, not a number.
    static const QRegularExpression leading(QStringLiteral("^\\s*[+-]?\\d+(\\.)\\d+(?![\\d.])"));
    const QRegularExpressionMatch m = leading.match(text);
    if (!m.hasMatch())
        return text;
    QString shown = text;
    shown[m.capturedStart(1)] = point;
    return shown;
}

QString ShownNumber::number(double value, int decimals, const QLocale &locale)
{
    return localized(QString::number(value, 'f', decimals), locale);
}
