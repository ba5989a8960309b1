#include "ui/ShownRefusal.h"

#include "ui/ShownNumber.h"

#include "pump/TypedNumber.h"

#include <QCoreApplication>

QString ShownRefusal::outside(const Pump::KeyTable::Key &key, double value)
{
    if (Pump::KeyTable::outside(key, value).isEmpty())
        return QString();
    const QString unit = key.unit.isEmpty() ? QString() : QLatin1Char(' ') + key.unit;
    const int decimals =
        key.kind == Pump::KeyTable::Kind::Decimal || key.kind == Pump::KeyTable::Kind::Percent ? 1
                                                                                               : 0;
    const QString on = key.model.isEmpty()
                           ? QString()
                           : QCoreApplication::translate("ShownRefusal", " on a %1").arg(key.model);
    const QString shown = ShownNumber::localized(QString::number(value));
    if (value < key.minimum)
        return QCoreApplication::translate("ShownRefusal", "%1: %2 is below %3%4%5")
            .arg(key.name, shown, ShownNumber::number(key.minimum, decimals), unit, on);
    return QCoreApplication::translate("ShownRefusal", "%1: %2 is above %3%4%5")
        .arg(key.name, shown, ShownNumber::number(key.maximum, decimals), unit, on);
}

QString ShownRefusal::notANumber(const QString &name, const QString &text)
{
    const QString english = Pump::TypedNumber::refusal(name, text);
    if (english.isEmpty())
        return english;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QCoreApplication::translate("ShownRefusal", "%1: no number was typed").arg(name);
    const QString what =
        QCoreApplication::translate("ShownRefusal", "%1: \"%2\" is not a number").arg(name, t);
    // The value layer named the cause; the same cause, in the window's words.
    if (english.endsWith(QLatin1String("(write it without a thousands separator)")))
        return what + QCoreApplication::translate("ShownRefusal",
                                                  " (write it without a thousands separator)");
    if (english.endsWith(QLatin1String("(the decimal separator is the point; a comma is not "
                                       "taken)")))
        return what +
               QCoreApplication::translate(
                   "ShownRefusal", " (the decimal separator is the point; a comma is not taken)");
    return what;
}
