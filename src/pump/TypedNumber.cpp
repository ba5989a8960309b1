#include "pump/TypedNumber.h"

#include <cmath>

namespace Pump {

namespace {

bool commaIsDecimal(const QLocale &locale)
{
    return locale.decimalPoint() == QLatin1Char(',');
}

bool asciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// [sign] digits [sep digits] | [sign] sep digits, then an optional exponent; the one separator
// is already a point.
bool plainDecimal(const QString &t)
{
    int i = 0;
    const int n = t.size();
    auto digits = [&] {
        const int start = i;
        while (i < n && asciiDigit(t.at(i)))
            ++i;
        return i - start;
    };
    if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        ++i;
    int mantissa = digits();
    if (i < n && t.at(i) == QLatin1Char('.')) {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < n && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == n;
}

} // namespace

std::optional<QString> TypedNumber::cNotation(const QString &text, const QLocale &locale)
{
    QString t = text.trimmed();
    // Both separators in one number: one of them groups thousands.
    if (t.contains(QLatin1Char(',')) && t.contains(QLatin1Char('.')))
        return std::nullopt;
    if (t.contains(QLatin1Char(','))) {
        if (!commaIsDecimal(locale) || t.count(QLatin1Char(',')) > 1)
            return std::nullopt;
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    }
    if (!plainDecimal(t))
        return std::nullopt;
    return t;
}

std::optional<double> TypedNumber::read(const QString &text, const QLocale &locale)
{
    const std::optional<QString> c = cNotation(text, locale);
    if (!c)
        return std::nullopt;
    bool ok = false;
    // An overflow, or a number other than zero too small for a double, is not read as
    // infinity or 0.
    const double value = QLocale::c().toDouble(*c, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString TypedNumber::refusal(const QString &name, const QString &text, const QLocale &locale)
{
    if (read(text, locale))
        return QString();
    const QString t = text.trimmed();
    const QString what = QStringLiteral("%1: \"%2\" is not a number").arg(name, t);
    if (t.isEmpty())
        return QStringLiteral("%1: no number was typed").arg(name);
    if (t.contains(QLatin1Char(',')) && t.contains(QLatin1Char('.')))
        return what + QStringLiteral(" (write it without a thousands separator)");
    if (t.contains(QLatin1Char(',')) && !commaIsDecimal(locale))
        return what + QStringLiteral(" (the decimal separator is the point; a comma is not taken)");
    if (t.count(QLatin1Char(',')) > 1 || t.count(QLatin1Char('.')) > 1)
        return what + QStringLiteral(" (write it without a thousands separator)");
    return what;
}

} // namespace Pump
