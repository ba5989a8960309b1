#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

// JSON in the one form the JSON Canonicalization Scheme (RFC 8785) gives it: no blanks, members
// sorted by the UTF-16 code units of their names, strings with only the escapes JSON requires,
// numbers as ECMAScript prints them, UTF-8. Equal values give equal bytes in any language that
// implements the scheme, so a hash over them can be checked without this code.
class CanonicalJson
{
public:
    static QByteArray write(const QJsonValue &value);

    static void append(QByteArray &out, const QJsonValue &value);
    static void appendString(QByteArray &out, const QString &text);
    // A number that JSON cannot hold (NaN, infinity) is written as null.
    static void appendNumber(QByteArray &out, double value);
};
