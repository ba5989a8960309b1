#pragma once

#include "BusinessLogic/CommandSpezifier.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace GUI {
class OperationItem;
} // namespace GUI

namespace Pump {

using GUI::OperationItem;
class PumpItems;

// The pump's values by name, in the units and with the limits and list entries the window shows:
// which command a value goes out with and as which number, and how a reported value reads. The
// window, the command-line tool and remote clients share it, so a value is checked and converted
// one way only.
class KeyTable
{
public:
    using Id = BusinessLogic::CommandSpezifier;

    enum class Kind {
        Decimal,  // ml or ml/min, sent in thousandths
        Duration, // whole seconds
        Cycles,   // a count, "off" or "inf"
        List,     // the window's entry texts or their index
        Switch,   // on or off
        Percent,  // calibration: 80.0 to 120.0 in steps of 0.1, sent in hundredths
        Whole,    // a whole number
        Elapsed,  // the pump's clock, with hundredths
        Model,
        Firmware,
        Flags // lit status or error flags
    };
    enum class Group { Values, Settings, Identity };
    // What a remote client needs to set a key: running and dosing values are control, the rest
    // of what can be set reconfigures the instrument.
    enum class Permission { None, Control, Config };

    // The highest address a pump answers to (and the key "address" takes).
    static constexpr int HighestAddress = 98;

    struct Key
    {
        QString name;   // what get, set and the bridge's set/<key> take: "flow-rate"
        QString output; // what every JSON output calls the value: "flow_rate_ml_min"
        Group group;
        Kind kind;
        QString unit;
        double minimum = 0;
        double maximum = 0;
        Id query = Id::Base;            // Base: the pump cannot be asked
        Id set = Id::Base;              // Base: read only
        QStringList entries;            // List: the texts, in the window's order
        std::vector<int> codes;         // List: what the pump takes and reports for each entry
        std::vector<int> parameters{0}; // the query's parameter per exchange (status groups)
        QString help;
        Permission permission = Permission::None; // None: read only
        QString model; // the pump type whose narrower limits these are; empty: the widest

        bool readable() const { return query != Id::Base; }
        bool settable() const { return set != Id::Base; }
    };

    // A value ready to go out, or why it cannot.
    struct Setting
    {
        Id command = Id::Base;
        int value = 0;
        QString error;
        bool ok() const { return error.isEmpty(); }
    };

    static const std::vector<Key> &keys();
    // Null for a name that is not a key.
    static const Key *find(const QString &name);
    static const Key &key(const QString &name);

    // The value text checked against the key's limits and converted to what the pump takes.
    static Setting parse(const Key &key, const QString &text);
    // Why a number in the key's unit may not go out ("150 is above 100.0 ml/min"); empty when it
    // lies within the key's limits. The window checks its typed values with this too.
    static QString outside(const Key &key, double value);
    // The calibration list's entry as the pump's code: 80.0 % in steps of 0.1, in hundredths.
    static int percentCode(int index);
    // The smallest change a value can make, in the key's unit: what it goes out with (thousandths
    // of a ml, whole seconds, tenths of a percent); 0 for keys that take no number.
    static double step(const Key &key);
    // The number of entries of a list key.
    static int entryCount(const QString &key) { return KeyTable::key(key).entries.size(); }
    // The pump's code of a list entry; an index outside the list stands for the first entry
    // ("OFF" in the input lists), as in the window.
    static int code(const Key &key, int index);
    static int code(const QString &key, int index) { return code(KeyTable::key(key), index); }
    // The entry a reported code stands for; -1 for a code not in the list.
    static int index(const Key &key, int code);

    // What the items hold for the key, as text ("12.5", "00:01:30", "Level Start/Stop") and as
    // JSON (numbers as numbers, switches as booleans, flags as an array). "unknown" and null
    // while the pump has not reported it.
    static QString text(const Key &key, const std::vector<OperationItem *> &items);
    static QJsonValue json(const Key &key, const std::vector<OperationItem *> &items);
    static QString text(const Key &key, const PumpItems &items);
    static QJsonValue json(const Key &key, const PumpItems &items);
    // The value as JSON under its output name; cycles also as "cycles_mode" (count, off or
    // endless), so that "cycles" is always a number.
    static QJsonObject fields(const Key &key, const std::vector<OperationItem *> &items);
    static QJsonObject fields(const Key &key, const PumpItems &items);
    // A value as the pump takes and reports it, as JSON; null for kinds the pump reports as
    // text (model, firmware, flags, the clock).
    static QJsonValue json(const Key &key, int pumpValue);
    // "count", "off" (0 or 1 dose) or "endless" for the pump's cycles value.
    static QString cyclesMode(int count);
    // "1.0 - 100.0 ml/min", "English | German | ...", "on | off": for help texts.
    static QString range(const Key &key);

    // "control", "config" or "" (read only): what help texts show.
    static QString permissionName(Permission permission);

    // Thousandths written without trailing zeros: 12500 -> "12.5", 10000 -> "10".
    static QString thousandths(qint64 value);
};

} // namespace Pump
