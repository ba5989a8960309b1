#pragma once

#include <QByteArray>
#include <QString>

namespace Pump {

// A key given twice in one JSON object. Such a document is ambiguous, and Qt's parser leaks
// memory on some of them, so every JSON that comes from a file or the network is refused with it
// before it is parsed.
class JsonKeys
{
public:
    // The first key that appears twice in one object, escapes decoded; a null string when none
    // does. Malformed text is scanned as far as it goes: the parser judges it afterwards.
    static QString repeated(const QByteArray &json);
};

} // namespace Pump
