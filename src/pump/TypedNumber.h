#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace Pump {

// The one reading of a number an operator typed, for every field and cell of the window. The
// point is always the decimal separator; so is the comma, but only where the operator's locale
// writes decimals with it ("12,5" in German). A group separator is never taken, in any locale:
// "0,500" under English or C is refused, not read as 500, and "1.000,5" under German is refused,
// not read as 1000.5. Blanks at either end and an exponent ("1e3") are allowed; nothing else.
class TypedNumber
{
public:
    // The text in C notation ("12,5" -> "12.5"), or nothing when it is not a number by the rule.
    static std::optional<QString> cNotation(const QString &text, const QLocale &locale = QLocale());
    // The value, or nothing: not a number by the rule, or beyond a double.
    static std::optional<double> read(const QString &text, const QLocale &locale = QLocale());
    // Why the text is not a number by the rule, as "name: ..." for the feedback line; empty when
    // it is one.
    static QString refusal(const QString &name, const QString &text,
                           const QLocale &locale = QLocale());
};

} // namespace Pump
