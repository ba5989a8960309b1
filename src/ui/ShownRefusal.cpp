#include "ui/ShownRefusal.h"

#include "ui/PhraseTable.h"
#include "ui/ShownNumber.h"

#include "pump/TypedNumber.h"

#include <QCoreApplication>

#include <array>

namespace {

// The keys and fields whose values the window's entries send, by the names the value layer
// gives them.
constexpr std::array<const char *, 11> names{
    QT_TRANSLATE_NOOP("ShownRefusal", "flow-rate"),
    QT_TRANSLATE_NOOP("ShownRefusal", "volume"),
    QT_TRANSLATE_NOOP("ShownRefusal", "dispense-time"),
    QT_TRANSLATE_NOOP("ShownRefusal", "cycles"),
    QT_TRANSLATE_NOOP("ShownRefusal", "break-time"),
    QT_TRANSLATE_NOOP("ShownRefusal", "calibration-volume"),
    QT_TRANSLATE_NOOP("ShownRefusal", "calibration-percent"),
    QT_TRANSLATE_NOOP("ShownRefusal", "contrast"),
    QT_TRANSLATE_NOOP("ShownRefusal", "address"),
    QT_TRANSLATE_NOOP("ShownRefusal", "stroke volume"),
    QT_TRANSLATE_NOOP("ShownRefusal", "factory calibration volume")};

} // namespace

QString ShownRefusal::parsed(const QString &english)
{
    static const PhraseTable table = [] {
        std::vector<const char *> templates(names.begin(), names.end());
        templates.insert(
            templates.end(),
            {QT_TRANSLATE_NOOP("ShownRefusal", "%1: %2 is outside %3"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1 - %2"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1 on a %2"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1: \"%2\" is not one of %3"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1 cannot be set"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1: \"%2\" is not a number"),
             QT_TRANSLATE_NOOP("ShownRefusal",
                               "%1: \"%2\" is not a duration such as 90s, 5m, 1h30m or 01:30:00"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1: \"%2\" is not a number, off or inf"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1: \"%2\" is not on or off"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1: \"%2\" is not a percentage"),
             QT_TRANSLATE_NOOP("ShownRefusal", "%1: %2 is not a step of 0.1 %")});
        return PhraseTable("ShownRefusal", templates);
    }();
    return table.shown(english);
}

QString ShownRefusal::name(const QString &key)
{
    for (const char *known : names) {
        if (key == QLatin1String(known))
            return QCoreApplication::translate("ShownRefusal", known);
    }
    return key;
}

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
            .arg(name(key.name), shown, ShownNumber::number(key.minimum, decimals), unit, on);
    return QCoreApplication::translate("ShownRefusal", "%1: %2 is above %3%4%5")
        .arg(name(key.name), shown, ShownNumber::number(key.maximum, decimals), unit, on);
}

QString ShownRefusal::notANumber(const QString &key, const QString &text)
{
    const QString english = Pump::TypedNumber::refusal(key, text);
    const QString shownName = name(key);
    if (english.isEmpty())
        return english;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QCoreApplication::translate("ShownRefusal", "%1: no number was typed")
            .arg(shownName);
    const QString what =
        QCoreApplication::translate("ShownRefusal", "%1: \"%2\" is not a number").arg(shownName, t);
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
