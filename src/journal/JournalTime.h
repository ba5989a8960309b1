#pragma once

#include <QString>

// The journal's times as people type and read them: ISO 8601, UTC.
class JournalTime
{
public:
    // "2026-12-08", "2026-12-08T14:33", "2026-12-08T14:33:05", "2026-12-08 14:33:05.25", each
    // perhaps with "Z" or an offset ("+01:00") after the time; without one, UTC. The period the
    // text names, as [*from, *to) in ms since 1970: a whole day, minute, second or fraction.
    static bool parse(const QString &text, qint64 *from, qint64 *to);
    // 2026-12-08T14:33:05.123Z
    static QString format(qint64 msSinceEpoch);
};
