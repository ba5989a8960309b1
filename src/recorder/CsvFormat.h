#pragma once

#include "recorder/ProcessSample.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The recorder's file format: comma-separated values after RFC 4180 (CRLF line ends, a field
// quoted when it holds a comma, a quote or a line break, quotes doubled), UTF-8, one header line.
// Numbers always use "." as the decimal point and never depend on the locale; an unknown value
// is an empty field.
class CsvFormat
{
public:
    static QByteArray header();
    // The column names, in order; JSON consumers use them as keys.
    static QStringList columns();
    // startMs: when the recording started, for elapsed_s.
    static QByteArray row(const ProcessSample &sample, qint64 startMs);

    static QString field(const QString &text);
    // An integer count of 1/10^decimals units written as a decimal number: (12500, 3) -> 12.500.
    static QString fixed(qint64 units, int decimals);
    // 2026-12-08T06:04:37.146Z
    static QString isoUtc(qint64 msSinceEpoch);
    // The flag texts joined with "|".
    static QString flags(const QStringList &texts);
};
