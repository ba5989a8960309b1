#pragma once

#include "journal/JournalEntry.h"

#include <QElapsedTimer>

#include <functional>
#include <vector>

class JournalQueue;
class JournalStore;

// The body of the journal's writer thread: takes entries from the queue and appends them to the
// file in transactions of up to BatchSize, each chained to the newest entry in the file at that
// moment, whichever process wrote it. When the file cannot be written the entries stay queued
// and it tries again every RetryMs; the problem is reported once, and once more when it is over.
class JournalWriter
{
public:
    static constexpr int BatchSize = 500;
    static constexpr int RetryMs = 1000;
    // Another writer holding the file is waited for this long, trying again every BusyRetryMs,
    // before it counts as a problem.
    static constexpr int BusyQuietMs = 30000;
    static constexpr int BusyRetryMs = 50;

    using Written = std::function<void(const JournalEntry &)>;
    using Problem = std::function<void(const QString &)>;

    JournalWriter(const QString &path, JournalQueue &queue, Written written, Problem problem);

    // Returns once the queue is stopped and empty, or stopped and the file cannot be written.
    void run();

private:
    bool write(JournalStore &store, std::vector<JournalEntry> &batch);
    // Bounds the texts and the fields, as the reader expects them.
    QByteArray fit(JournalEntry &entry);
    void reportDrops();

    const QString path;
    JournalQueue &queue;
    const Written written;
    const Problem problem;
    QString writeError; // why the last write() failed
    bool failing = false;
    QElapsedTimer busySince; // invalid while not kept waiting
    bool dropsReported = false;
    bool oversizeReported = false;
};
