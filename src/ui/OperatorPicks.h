#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "BusinessLogic/QueueEntry.h"

#include <map>
#include <optional>

#include <QString>

class PumpCore;
class QObject;

namespace GUI {
class OperationItem;
}

// The operator's settings on their way to the pump: each item takes its value only once the
// pump accepted it, and the same pick is not sent twice while one is on its way, unless the pump
// has reported something new since.
class OperatorPicks
{
public:
    // context: answers that arrive once it is gone are dropped.
    OperatorPicks(PumpCore &core, QObject *context);

    // Queued in the operator's lane; the item holds the value once the pump accepted it.
    BusinessLogic::Ticket held(BusinessLogic::CommandSpezifier id, int value,
                               GUI::OperationItem &item);
    // The operator's pick: queued and held as above, unless the pump already has that value or
    // it is already on its way. False when nothing was sent.
    bool pick(BusinessLogic::CommandSpezifier id, GUI::OperationItem &item, int value);
    // A typed value of a key (value in the pump's units, inUnits in the key's): sent with the
    // key's command and held as above when it lies within the key's limits, the limits the tool
    // and the network use too. Otherwise nothing goes; the reason comes back (empty when sent).
    QString typed(const QString &key, int value, double inUnits, GUI::OperationItem &item);

private:
    struct OnTheWay
    {
        int value = 0;
        std::optional<int> reported; // what the pump had reported when it was sent
    };

    PumpCore &core;
    QObject *context;
    std::map<GUI::OperationItem *, OnTheWay> onTheWay;
};
