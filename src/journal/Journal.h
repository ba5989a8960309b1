#pragma once

#include "journal/JournalEntry.h"

#include <QObject>
#include <QString>

#include <memory>

class JournalQueue;
class JournalWriter;
class QThread;

// The journal as a program writes it: one per process and file. append() only queues the entry
// for a thread of its own, which writes it to the SQLite file, chained to the newest entry any
// process wrote there; the caller never waits for the disk, a lock or a problem.
//
// Signals come from the writer thread: a connection to an object of another thread is queued,
// a direct one runs on the writer thread.
class Journal : public QObject
{
    Q_OBJECT

public:
    // Entries waiting for the writer at most; more are dropped and counted.
    static constexpr int Capacity = 10000;

    explicit Journal(const QString &path = defaultPath(), QObject *parent = nullptr);
    // Writes what is queued if the file can be written, then ends the thread: within about
    // JournalStore::BusyTimeoutMs when another process holds the file.
    ~Journal() override;

    // $DOSETTA_JOURNAL, else $XDG_STATE_HOME/dosetta/journal.sqlite (~/.local/state/dosetta/).
    static QString defaultPath();
    const QString &path() const { return filePath; }

    // Queues the entry and returns at once: false when the queue is full (the entry is counted
    // in dropped()). A time of 0 is taken as now. Texts longer than JournalStore::MaxText are
    // cut; fields above JournalStore::MaxFieldsBytes are replaced by {"oversize_bytes": N}.
    bool append(JournalEntry entry);
    bool append(const QString &pump, const QString &kind, const QString &origin, const QString &who,
                const QJsonObject &fields = {}, const QString &runId = {});
    // Waits at most timeoutMs until every entry queued before the call is written; false when
    // some are not (the file cannot be written, or another process holds it that long).
    bool flush(int timeoutMs);
    qint64 dropped() const;
    int queued() const;

signals:
    // An entry is in the file, with its sequence number and hashes.
    void written(const JournalEntry &entry);
    // The file cannot be written (folder, permissions, full disk, not a journal, ...), it can
    // be again, or the queue overflowed: once each, not for every entry.
    void problem(const QString &text);

private:
    const QString filePath;
    std::unique_ptr<JournalQueue> queue;
    std::unique_ptr<JournalWriter> writer;
    QThread *thread = nullptr;
};
