#pragma once

#include "pump/KeyTable.h"

#include <QString>

#include <vector>

namespace GUI {
class OperationItem;
} // namespace GUI

namespace Pump {

// The limits a pump type narrows: a FLUXO 02 moves at most 20 ml/min. Every front-end checks a
// value against the key these return, so that the window, the command line, the bridge, Home
// Assistant and SiLA refuse the same values; with the type unknown, the key's widest limits hold.
class ModelLimits
{
public:
    // The key with the type's limits ("FLUXO 02", "FLUXO 10"); the key itself for any other type
    // or an empty one. A narrowed key names the type in `model`, for the refusal.
    static KeyTable::Key of(const KeyTable::Key &key, const QString &pumpType);
    // Whether some type narrows the key: only then is the type worth asking for.
    static bool narrows(const KeyTable::Key &key);
    // The pump type the model-version item holds; empty while the pump has not said.
    static QString pumpType(const std::vector<GUI::OperationItem *> &items);
    // "FLUXO 02: 1.0 - 20.0 ml/min" for each type that narrows the key, for help texts.
    static QString notes(const KeyTable::Key &key);
};

} // namespace Pump
