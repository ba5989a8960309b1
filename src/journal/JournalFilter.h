#pragma once

#include <QString>

#include <limits>

// Which entries (or runs, by their start) a reader hands out. Empty texts and the default times
// let everything through.
struct JournalFilter
{
    QString pump;
    QString kind;                                        // runs ignore it
    qint64 sinceMs = std::numeric_limits<qint64>::min(); // at or after
    qint64 untilMs = std::numeric_limits<qint64>::max(); // before
    // Only the newest this many (still handed out oldest first); 0: all.
    int limit = 0;
};
