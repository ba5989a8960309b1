#include "ui/OperatorPicks.h"

#include "pump/KeyTable.h"

#include "pump/SendGate.h"
#include "pumpcore/PumpCore.h"

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
    const Pump::KeyTable::Key &k = Pump::KeyTable::key(key);
    const QString outside = Pump::KeyTable::outside(k, inUnits);
    if (outside.isEmpty())
        held(k.set, value, item);
    return outside;
}
