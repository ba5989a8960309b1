#pragma once

#include <QLocale>
#include <QString>

// Numbers as the window shows them: with the decimal separator of the window's language. The
// value rules below the window write a point, which the CSV, JSON and network outputs keep; only
// what reaches a widget changes here. Never a thousands separator: a set-point of 1000 reads
// "1000", as the pump's limits and the entry fields take it.
class ShownNumber
{
public:
    // A text that begins with a decimal number ("12.50", "0.500 ml", "-1.5") gets the locale's
    // decimal separator in it; any other text (OFF, INF, V1.23, a whole number) is left alone.
    static QString localized(const QString &text, const QLocale &locale = QLocale());
    // value with the given decimals, in the locale, without grouping.
    static QString number(double value, int decimals, const QLocale &locale = QLocale());
};
