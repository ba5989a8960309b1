#pragma once

#include "journal/JournalEntry.h"
#include "journal/JournalFilter.h"
#include "journal/JournalRun.h"
#include "journal/JournalTotals.h"
#include "journal/JournalVerdict.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class JournalStore;
class QSqlQuery;

// Reads a journal file, never writes it, while any number of processes write it. What it reads
// from a row is bounded (JournalStore::MaxText, MaxFieldsBytes) whatever the file holds.
class JournalReader
{
public:
    // Takes one entry; false stops the reading.
    using Take = std::function<bool(const JournalEntry &)>;

    explicit JournalReader(const QString &path);
    ~JournalReader();

    // False, with problem() saying why: no such file, not a regular file, not a journal.
    bool open();
    const QString &problem() const { return problemText; }

    // The entries that pass the filter, oldest first (by time, then sequence number: entries that
    // processes queued at the same moment may reach the file in another order), one at a time;
    // with a limit only the newest that many, and *more says whether the limit left some out.
    // False, with problem(), when the file cannot be read.
    bool entries(const JournalFilter &filter, const Take &take, bool *more = nullptr);
    QVector<JournalEntry> entries(const JournalFilter &filter, bool *more = nullptr);
    // The runs whose run-start passes the filter (its kind aside), oldest first, each with its
    // run-end when there is one.
    QVector<JournalRun> runs(const JournalFilter &filter, bool *more = nullptr);
    // The runs of this pump started through origin (and by who, unless empty) that have no
    // run-end: after a crash, the runs a service left behind.
    QVector<JournalRun> openRuns(const QString &pump, const QString &origin,
                                 const QString &who = QString());
    // How many entries pass the filter, its limit aside; -1, with problem(), when the file cannot
    // be read. Each filter has an index in time order: a million entries count in a blink.
    qint64 count(const JournalFilter &filter);
    // The pumps named in the journal, sorted, at most max of them: one index look-up each.
    QStringList pumps(int max);
    // Each pump's totals (only this one's with a pump given), sorted by pump: one aggregate
    // query over the run-end and service entries, through the kind index.
    QVector<JournalTotals> totals(const QString &pump = QString());
    // Walks the whole chain from the first entry.
    JournalVerdict verify();

private:
    bool query(const QString &sql, const QVariantList &values,
               const std::function<bool(QSqlQuery &)> &row);

    const QString path;
    std::unique_ptr<JournalStore> store;
    QString problemText;
};
