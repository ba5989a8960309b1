// Which open runs count as left behind: a journal written by Journal::append, with real processes
// as the owners, one that has ended and one that still runs.

#include "journal/Journal.h"
#include "program/OrphanRuns.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class tst_OrphanRuns : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void choice_data();
    void choice();
    void unreadableJournal();

private:
    QProcess living;
    qint64 deadPid = 0;
};

void tst_OrphanRuns::initTestCase()
{
    living.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(living.waitForStarted());
    QProcess ended;
    ended.start(QStringLiteral("true"), QStringList());
    QVERIFY(ended.waitForStarted());
    deadPid = ended.processId();
    QVERIFY(ended.waitForFinished());
}

void tst_OrphanRuns::cleanupTestCase()
{
    living.kill();
    living.waitForFinished();
}

void tst_OrphanRuns::choice_data()
{
    QTest::addColumn<QString>("owner"); // "dead", "living", "none"
    QTest::addColumn<qint64>("startedAgoMs");
    QTest::addColumn<QString>("pump");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<bool>("ended");
    QTest::addColumn<bool>("taken");

    const qint64 now = 0;
    const qint64 lastYear = 365LL * 24 * 3600 * 1000;
    QTest::newRow("owner gone") << "dead" << now << "A"
                                << "sila" << false << true;
    QTest::newRow("owner gone, another front-end") << "dead" << now << "A"
                                                   << "cli" << false << true;
    QTest::newRow("owner still running") << "living" << now << "A"
                                         << "sila" << false << false;
    QTest::newRow("owner's id now a later process") << "living" << lastYear << "A"
                                                    << "bridge" << false << true;
    QTest::newRow("another pump") << "dead" << now << "B"
                                  << "sila" << false << false;
    QTest::newRow("already ended") << "dead" << now << "A"
                                   << "sila" << true << false;
    QTest::newRow("no process named") << "none" << now << "A"
                                      << "sila" << false << false;
}

void tst_OrphanRuns::choice()
{
    QFETCH(QString, owner);
    QFETCH(qint64, startedAgoMs);
    QFETCH(QString, pump);
    QFETCH(QString, origin);
    QFETCH(bool, ended);
    QFETCH(bool, taken);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.sqlite"));
    {
        Journal journal(path);
        JournalEntry start;
        start.timeMs = QDateTime::currentMSecsSinceEpoch() - startedAgoMs;
        start.pump = pump;
        start.kind = QLatin1String(JournalEntry::Kind::RunStart);
        start.origin = origin;
        start.who = QStringLiteral("someone");
        start.runId = QStringLiteral("r1");
        if (owner != QLatin1String("none"))
            start.fields.insert(QStringLiteral("pid"),
                                owner == QLatin1String("dead") ? deadPid : living.processId());
        QVERIFY(journal.append(start));
        if (ended)
            QVERIFY(journal.append(pump, QLatin1String(JournalEntry::Kind::RunEnd), origin,
                                   start.who, {}, start.runId));
        QVERIFY(journal.flush(10000));
    }
    QVector<JournalRun> runs;
    QString problem;
    QVERIFY(OrphanRuns::find(path, QStringLiteral("A"), OrphanRuns::anyOrigin(), QString(), &runs,
                             &problem));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(runs.size(), taken ? 1 : 0);
    if (taken)
        QCOMPARE(runs.first().start.runId, QStringLiteral("r1"));
}

void tst_OrphanRuns::unreadableJournal()
{
    QTemporaryDir dir;
    QVector<JournalRun> runs{JournalRun()};
    QString problem;
    // No journal yet: nothing was left behind.
    QVERIFY(OrphanRuns::find(dir.filePath(QStringLiteral("none.sqlite")), QStringLiteral("A"),
                             OrphanRuns::anyOrigin(), QString(), &runs, &problem));
    QVERIFY(runs.isEmpty());
    QFile notJournal(dir.filePath(QStringLiteral("notes.sqlite")));
    QVERIFY(notJournal.open(QIODevice::WriteOnly));
    notJournal.write("pump notes, not a journal\n");
    notJournal.close();
    QVERIFY(!OrphanRuns::find(notJournal.fileName(), QStringLiteral("A"), OrphanRuns::anyOrigin(),
                              QString(), &runs, &problem));
    QVERIFY(!problem.isEmpty());
}

QTEST_GUILESS_MAIN(tst_OrphanRuns)
#include "tst_orphanruns.moc"
