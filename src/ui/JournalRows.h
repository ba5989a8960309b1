#pragma once

#include "journal/JournalEntry.h"
#include "journal/JournalRun.h"

#include <QJsonValue>
#include <QStringList>
#include <QVector>

// The journal as the Journal tab lists it: one row of cells per run or per change, made on the
// loader's thread from what the reader hands out, so the window only shows them.
class JournalRows
{
public:
    enum RunColumn {
        RunStart,
        RunEnd,
        RunPump,
        RunOrigin,
        RunWho,
        RunCause,
        RunVolume,
        RunSeconds,
        RunAsked,
        RunColumns
    };
    enum ChangeColumn {
        ChangeTime,
        ChangePump,
        ChangeKind,
        ChangeOrigin,
        ChangeWho,
        ChangeKey,
        ChangeValue,
        ChangeVerdict,
        ChangeColumns
    };
    // A cell longer than this is cut; the row's tool tip has it whole.
    static constexpr int MaxCell = 80;

    struct Row
    {
        QString key; // the run id, or the entry's sequence number
        QStringList cells;
        QString toolTip;
        qint64 startMs = 0;
        qint64 endMs = 0;     // a run's end; 0 while it runs
        bool running = false; // a run without its end yet
        bool trouble = false; // ended by a fault or refused, not as asked or by a stop

        bool operator==(const Row &other) const;
        bool operator!=(const Row &other) const { return !(*this == other); }
    };

    static QStringList runHeaders();
    static QStringList changeHeaders();
    static Row run(const JournalRun &run);
    static Row change(const JournalEntry &entry);

    // A field's value in a cell: a text as it is, a number plainly, an array by its length,
    // an object as key=value pairs.
    static QString text(const QJsonValue &value);
    // Local time, to the second; without the date when it is that of since.
    static QString time(qint64 ms, qint64 sinceMs = 0);
};
