#include "ui/OperatorPicks.h"

#include "pump/EntryConversion.h"
#include "pump/KeyTable.h"
#include "pump/ModelLimits.h"
#include "pump/SendGate.h"
#include "pump/TypedNumber.h"
#include "pumpcore/PumpCore.h"
#include "ui/ShownRefusal.h"

#include <QCoreApplication>

OperatorPicks::OperatorPicks(PumpCore &core, QObject *context)
    : core(core)
    , context(context)
{}

BusinessLogic::Ticket OperatorPicks::held(BusinessLogic::CommandSpezifier id, int value,
                                          GUI::OperationItem &item)
{
    // A refused value never reaches the screen, the chart, the file or the network.
    return core.submitSetting(BusinessLogic::Lane::Operator, id, value, context,
                              [this, &item, value](bool accepted) {
                                  const auto pending = onTheWay.find(&item);
                                  if (pending != onTheWay.end() && pending->second.value == value)
                                      onTheWay.erase(pending);
                                  if (accepted)
                                      Pump::SendGate::hold(item, value);
                              });
}

bool OperatorPicks::pick(BusinessLogic::CommandSpezifier id, GUI::OperationItem &item, int value)
{
    // Neither what the pump has nor what is already on its way goes again.
    const std::optional<int> reported = Pump::SendGate::reported(item);
    if (!Pump::SendGate::differs(value, reported))
        return false;
    const auto pending = onTheWay.find(&item);
    if (pending != onTheWay.end() && pending->second.value == value &&
        pending->second.reported == reported)
        return false;
    onTheWay[&item] = {value, reported};
    held(id, value, item);
    return true;
}

QString OperatorPicks::typed(const QString &key, int value, double inUnits,
                             GUI::OperationItem &item)
{
    // The connected pump type's limits, as every other front-end checks them.
    const Pump::KeyTable::Key k = Pump::ModelLimits::of(
        Pump::KeyTable::key(key), Pump::ModelLimits::pumpType(core.items().all()));
    const QString outside = ShownRefusal::outside(k, inUnits);
    if (outside.isEmpty())
        held(k.set, value, item);
    return outside;
}

QString OperatorPicks::typedText(const QString &key, const QString &text, GUI::OperationItem &item)
{
    const std::optional<int> value = Pump::EntryConversion::scaled(text, 1000, 0.0005);
    const QString why = refusal(key, text, value);
    if (!why.isEmpty())
        return why;
    return typed(key, *value, *value / 1000.0, item);
}

QString OperatorPicks::refusal(const QString &key, const QString &text, std::optional<int> value)
{
    const Pump::KeyTable::Key &k = Pump::KeyTable::key(key);
    if (value)
        return ShownRefusal::outside(k, *value / 1000.0);
    // A number too large for the command's integer is above the limit, not "no number".
    const std::optional<double> x = Pump::TypedNumber::read(text);
    return x ? ShownRefusal::outside(k, *x) : ShownRefusal::notANumber(key, text);
}

QString OperatorPicks::typedBreakTime(const QString &minutes, const QString &seconds,
                                      GUI::OperationItem &item)
{
    // Before the pump reported a break time both fields are empty: the one left empty is 0.
    const auto part = [&item](const QString &text) {
        return !item.known() && text.trimmed().isEmpty() ? QStringLiteral("0") : text;
    };
    const std::optional<int> value = Pump::EntryConversion::breakTime(part(minutes), part(seconds));
    if (!value)
        return QCoreApplication::translate("mainScreen",
                                           "break-time: \"%1\" min \"%2\" s is not a whole "
                                           "number of minutes and seconds")
            .arg(minutes.trimmed(), seconds.trimmed());
    held(BusinessLogic::CommandSpezifier::SetDispenseVolumeBreakTime, *value, item);
    return QString();
}
