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
    // A decimal key's value as the operator typed it, read by the typed-number rule and sent in
    // thousandths as above. A text that is no number by the rule, or a value outside the limits,
    // sends nothing and gives the reason.
    QString typedText(const QString &key, const QString &text, GUI::OperationItem &item);
    // The break time's two fields (minutes, seconds), sent and held as above; the reason, and
    // nothing sent, when they are no whole numbers.
    QString typedBreakTime(const QString &minutes, const QString &seconds,
                           GUI::OperationItem &item);
    // Why a typed decimal key's value may not go (no number, or outside the limits); empty when
    // it may. value: the text in thousandths, as the entry conversion gave it.
    static QString refusal(const QString &key, const QString &text, std::optional<int> value);

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
