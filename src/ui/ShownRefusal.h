#pragma once

#include "pump/KeyTable.h"

#include <QString>

// Why the window does not send what the operator typed, in the window's language and with its
// decimal separator. The rules are the value layer's (KeyTable::outside, TypedNumber::refusal),
// whose English texts dosetta-cli, the bridge and the SiLA server give; only the wording is made
// here. Empty when the rule lets the value go.
class ShownRefusal
{
public:
    static QString outside(const Pump::KeyTable::Key &key, double value);
    static QString notANumber(const QString &key, const QString &text);
    // The value layer's refusal of a typed text (KeyTable::parse), worded as the window words
    // the other refusals. One the window does not know, as it came.
    static QString parsed(const QString &english);
    // A key's or a field's name ("flow-rate") as the window words it; one it does not know, as
    // it came (a name the window already worded passes through).
    static QString name(const QString &key);
};
