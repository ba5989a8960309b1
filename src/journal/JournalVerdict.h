#pragma once

#include <QString>

// What a walk along the hash chain found: intact, or the first entry that does not hold.
struct JournalVerdict
{
    enum class Problem {
        None,
        HashMismatch,       // its content is not what its hash was taken over: changed
        MissingPredecessor, // entries before it are gone
        Reordered,          // it was written after an entry that now comes after it
        PredecessorChanged, // the entry before it is not the one it was chained to
        Oversize,           // a text or its fields are longer than the journal writes
        Unreadable          // the file could not be read to the end
    };

    qint64 entries = 0;  // entries read
    qint64 firstBad = 0; // sequence number of the first entry that does not hold
    Problem problem = Problem::None;
    QString reason;

    bool intact() const { return problem == Problem::None; }
    // "hash-mismatch", "missing-predecessor", ...; empty for None.
    static QString problemName(Problem problem);
};
