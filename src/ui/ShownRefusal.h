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
    static QString notANumber(const QString &name, const QString &text);
};
