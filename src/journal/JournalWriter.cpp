#include "journal/JournalWriter.h"

#include "journal/CanonicalJson.h"
#include "journal/JournalChain.h"
#include "journal/JournalQueue.h"
#include "journal/JournalStore.h"

#include <QSqlQuery>
#include <QVariant>

JournalWriter::JournalWriter(const QString &path, JournalQueue &queue, Written written,
                             Problem problem)
    : path(path)
    , queue(queue)
    , written(std::move(written))
    , problem(std::move(problem))
{}

void JournalWriter::run()
{
    JournalStore store(path, JournalStore::Mode::Write);
    for (;;) {
        std::vector<JournalEntry> batch = queue.peek(BatchSize);
        if (batch.empty())
            break;
        QString why;
        if (!store.open())
            why = store.problem();
        else if (!write(store, batch))
            why = QStringLiteral("journal %1: %2").arg(path, writeError);
        if (why.isEmpty()) {
            busySince.invalidate();
            queue.pop(static_cast<int>(batch.size()));
            if (failing)
                problem(QStringLiteral("journal %1: written again").arg(path));
            failing = false;
            for (const JournalEntry &entry : batch)
                written(entry);
        } else if (store.busy() && !queue.stopping() &&
                   (!busySince.isValid() || busySince.elapsed() < BusyQuietMs)) {
            // Another process's transaction, or two processes setting up one new file: wait.
            if (!busySince.isValid())
                busySince.start();
            store.close();
            queue.waitForStop(BusyRetryMs);
            continue;
        } else {
            busySince.invalidate();
            if (!failing)
                problem(why);
            failing = true;
            // Opened afresh next time: the file may have been replaced or the disk freed.
            store.close();
            if (queue.stopping()) {
                const int lost = queue.size();
                queue.pop(lost);
                problem(QStringLiteral("journal %1: %2 entr%3 not recorded at the end")
                            .arg(path)
                            .arg(lost)
                            .arg(lost == 1 ? QStringLiteral("y was") : QStringLiteral("ies were")));
                break;
            }
            queue.waitForStop(RetryMs);
        }
        reportDrops();
    }
    reportDrops();
}

void JournalWriter::reportDrops()
{
    const qint64 dropped = queue.dropped();
    if (dropped == 0 || dropsReported)
        return;
    dropsReported = true;
    problem(QStringLiteral("journal %1: the queue was full; %2 entr%3 not recorded")
                .arg(path)
                .arg(dropped)
                .arg(dropped == 1 ? QStringLiteral("y was") : QStringLiteral("ies were")));
}

QByteArray JournalWriter::fit(JournalEntry &entry)
{
    // As the file will give them back: UTF-8, a broken UTF-16 pair (a cut one too) replaced.
    for (QString *text : {&entry.pump, &entry.kind, &entry.origin, &entry.who, &entry.runId})
        *text = QString::fromUtf8(text->left(JournalStore::MaxText).toUtf8());
    QByteArray fieldsText = CanonicalJson::write(entry.fields);
    if (fieldsText.size() <= JournalStore::MaxFieldsBytes)
        return fieldsText;
    if (!oversizeReported)
        problem(QStringLiteral("journal %1: a %2 entry of %3 with %4 bytes of fields, above %5; "
                               "written without them")
                    .arg(path, entry.kind, entry.pump)
                    .arg(fieldsText.size())
                    .arg(JournalStore::MaxFieldsBytes));
    oversizeReported = true;
    entry.fields = {{QStringLiteral("oversize_bytes"), fieldsText.size()}};
    return CanonicalJson::write(entry.fields);
}

bool JournalWriter::write(JournalStore &store, std::vector<JournalEntry> &batch)
{
    QSqlDatabase &db = store.database();
    QSqlQuery q(db);
    // The newest entry is read inside the write lock, so that no other process appends between
    // reading its hash and chaining to it: the chain stays one line.
    qint64 seq = 0;
    QByteArray prev = JournalChain::genesis();
    bool ok = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (!ok) {
        writeError = store.explain(q.lastError(), QStringLiteral("cannot be written"));
        return false;
    }
    ok = q.exec(QStringLiteral("SELECT seq, hash FROM entries ORDER BY seq DESC LIMIT 1"));
    if (ok && q.next()) {
        seq = q.value(0).toLongLong();
        prev = q.value(1).toString().toLatin1();
    }
    ok = ok && q.prepare(QStringLiteral(
                   "INSERT INTO entries (seq, time_ms, pump, kind, origin, who, run_id, fields, "
                   "prev_hash, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (JournalEntry &entry : batch) {
        if (!ok)
            break;
        const QByteArray fieldsText = fit(entry);
        entry.seq = ++seq;
        entry.prevHash = prev;
        entry.hash = JournalChain::hash(entry, fieldsText);
        prev = entry.hash;
        q.addBindValue(entry.seq);
        q.addBindValue(entry.timeMs);
        q.addBindValue(entry.pump);
        q.addBindValue(entry.kind);
        q.addBindValue(entry.origin);
        q.addBindValue(entry.who);
        q.addBindValue(entry.runId.isEmpty() ? QVariant(QVariant::String) : entry.runId);
        q.addBindValue(QString::fromUtf8(fieldsText));
        q.addBindValue(QString::fromLatin1(entry.prevHash));
        q.addBindValue(QString::fromLatin1(entry.hash));
        ok = q.exec();
    }
    if (ok && q.exec(QStringLiteral("COMMIT")))
        return true;
    writeError = store.explain(q.lastError(), QStringLiteral("cannot be written"));
    q.exec(QStringLiteral("ROLLBACK"));
    return false;
}
