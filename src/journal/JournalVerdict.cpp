#include "journal/JournalVerdict.h"

QString JournalVerdict::problemName(Problem problem)
{
    switch (problem) {
    case Problem::None:
        break;
    case Problem::HashMismatch:
        return QStringLiteral("hash-mismatch");
    case Problem::MissingPredecessor:
        return QStringLiteral("missing-predecessor");
    case Problem::Reordered:
        return QStringLiteral("reordered");
    case Problem::PredecessorChanged:
        return QStringLiteral("predecessor-changed");
    case Problem::Oversize:
        return QStringLiteral("oversize");
    case Problem::Unreadable:
        return QStringLiteral("unreadable");
    }
    return QString();
}
