// The journal on real SQLite files: the canonical form its hashes are taken over, one chain from
// two writing processes, what verify finds in a file changed behind the journal's back, runs as
// the reader joins them, and files that cannot be written.

#include "journal/CanonicalJson.h"
#include "journal/Journal.h"
#include "journal/JournalChain.h"
#include "journal/JournalReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using Problem = JournalVerdict::Problem;
Q_DECLARE_METATYPE(Problem)

namespace {

constexpr qint64 T0 = 1796825049926; // 2026-12-09T14:04:09.926Z

// Child mode: appends count entries from origin tag, numbered in "n", in small bursts. Any
// problem (a lock the other writer held too long, say) fails it.
int writeEntries(const QString &path, const QString &tag, int count)
{
    Journal journal(path);
    bool troubled = false;
    QObject::connect(
        &journal, &Journal::problem, &journal,
        [&troubled](const QString &text) {
            std::fprintf(stderr, "%s\n", qPrintable(text));
            troubled = true;
        },
        Qt::DirectConnection);
    for (int n = 0; n < count; ++n) {
        journal.append(QStringLiteral("pump-1"), QStringLiteral("setting"), tag,
                       QStringLiteral("tester"), {{QStringLiteral("n"), n}});
        if (n % 5 == 0)
            QThread::msleep(1);
    }
    return journal.flush(60000) && !troubled ? 0 : 1;
}

// Raw SQL on the file, as someone who edits it behind the journal's back.
bool tamper(const QString &path, const QString &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tamper");
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString &statement : statements.split(';', Qt::SkipEmptyParts))
            ok = ok && q.exec(statement);
    }
    QSqlDatabase::removeDatabase("tamper");
    return ok;
}

QByteArray bytes(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : "-";
}

JournalEntry entry(qint64 at, const QString &pump, const QString &kind, const QString &runId,
                   const QJsonObject &fields = {})
{
    JournalEntry e;
    e.timeMs = at;
    e.pump = pump;
    e.kind = kind;
    e.origin = QStringLiteral("cli");
    e.who = QStringLiteral("alice");
    e.runId = runId;
    e.fields = fields;
    return e;
}

// A tmpfs on a fresh folder for the life of the object, where the test runs as root.
struct SmallFileSystem
{
    explicit SmallFileSystem(const QString &options)
    {
        mounted = ::geteuid() == 0 && QProcess::execute("mount", {"-t", "tmpfs", "-o", options,
                                                                  "tmpfs", dir.path()}) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted)
            QProcess::execute("umount", {dir.path()});
    }
    QTemporaryDir dir;
    bool mounted = false;
};

} // namespace

class tst_Journal : public QObject
{
    Q_OBJECT

private slots:
    void canonicalForm_data();
    void canonicalForm();
    void chainHash_data();
    void chainHash();
    void twoProcessesWriteOneChain();
    void verifyNamesTheFirstBadEntry_data();
    void verifyNamesTheFirstBadEntry();
    void filters_data();
    void filters();
    void openRunsOfAnOwner();
    void totals_data();
    void totals();
    void unwritable_data();
    void unwritable();
};

// RFC 8785's own examples: the canonical form is checked against the scheme, not against itself.
void tst_Journal::canonicalForm_data()
{
    QTest::addColumn<QByteArray>("json"); // parsed, then written
    QTest::addColumn<QByteArray>("canonical");
    QTest::newRow("1e21") << QByteArray("[1e21]") << QByteArray("[1e+21]");
    QTest::newRow("shortest digits")
        << QByteArray("[333333333.33333329]") << QByteArray("[333333333.3333333]");
    QTest::newRow("minus zero") << QByteArray("[-0]") << QByteArray("[0]");
    QTest::newRow("1E30, 4.50, 2e-3")
        << QByteArray("[1E30,4.50,2e-3]") << QByteArray("[1e+30,4.5,0.002]");
    QTest::newRow("small") << QByteArray("[0.000000000000000000000000001,0.000001,1e-7]")
                           << QByteArray("[1e-27,0.000001,1e-7]");
    QTest::newRow("2^53 and the largest")
        << QByteArray("[9007199254740992,1.7976931348623157e308]")
        << QByteArray("[9007199254740992,1.7976931348623157e+308]");
    QTest::newRow("escapes") << QByteArray(R"(["\u20ac$\u000F\u000aA'\u0042\u0022\u005c\\\"\/"])")
                             << QByteArray("[\"\xe2\x82\xac$\\u000f\\nA'B\\\"\\\\\\\\\\\"/\"]");
    QTest::newRow("members by UTF-16 code units")
        << QByteArray(
               R"({"\u20ac":1,"\r":2,"\ufb33":3,"1":4,"\ud83d\ude00":5,"\u0080":6,"\u00f6":7})")
        << QByteArray("{\"\\r\":2,\"1\":4,\"\xc2\x80\":6,\"\xc3\xb6\":7,\"\xe2\x82\xac\":1,"
                      "\"\xf0\x9f\x98\x80\":5,\"\xef\xac\xb3\":3}");
    QTest::newRow("nested, no blanks") << QByteArray(R"({ "b" : [ true , null ], "a" : { } })")
                                       << QByteArray(R"({"a":{},"b":[true,null]})");
}

void tst_Journal::canonicalForm()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, canonical);
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    QVERIFY(!doc.isNull());
    const QJsonValue value = doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    QCOMPARE(CanonicalJson::write(value), canonical);
}

// Hashes worked out with Python's hashlib over the canonical text the documentation defines.
void tst_Journal::chainHash_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<int>("seq");
    QTest::addColumn<qint64>("time");
    QTest::addColumn<QString>("pump");
    QTest::addColumn<QString>("runId");
    QTest::addColumn<QByteArray>("prev");
    QTest::addColumn<QByteArray>("hash");
    QTest::newRow("first run-start")
        << QByteArray(R"({"asked":{"volume_ml":0.5,"rate_ml_min":10}})") << 1 << T0
        << "/dev/ttyUSB0:1"
        << "r-1" << QByteArray(64, '0')
        << QByteArray("460bd03a4ae7a29a0eba6ae556090482d5adb2c8c498279f7a53471e9783c54f");
    QTest::newRow("no run id, quotes, a line break")
        << QByteArray(R"({"value":1e21,"note":"\u00f6\n"})") << 2 << T0 + 74 << "pump \"B\""
        << "" << QByteArray(64, 'a')
        << QByteArray("bc9bc4b434389f28a81dce62cb64b714767a51b3443824c748dffeb20f9d7241");
}

void tst_Journal::chainHash()
{
    QFETCH(QByteArray, fields);
    QFETCH(int, seq);
    QFETCH(qint64, time);
    QFETCH(QString, pump);
    QFETCH(QString, runId);
    QFETCH(QByteArray, prev);
    QFETCH(QByteArray, hash);
    JournalEntry e = entry(time, pump, seq == 1 ? "run-start" : "setting", runId,
                           QJsonDocument::fromJson(fields).object());
    if (seq == 2) {
        e.origin = "sila";
        e.who = "peer";
    }
    e.seq = seq;
    e.prevHash = prev;
    QCOMPARE(JournalChain::hash(e, CanonicalJson::write(e.fields)), hash);
}

void tst_Journal::twoProcessesWriteOneChain()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("state/dosetta/journal.sqlite");
    const int count = 1500;
    QProcess writers[2];
    for (int i = 0; i < 2; ++i) {
        writers[i].setProcessChannelMode(QProcess::ForwardedChannels);
        writers[i].start(
            QCoreApplication::applicationFilePath(),
            {"--write-entries", path, QStringLiteral("w%1").arg(i), QString::number(count)});
    }
    for (QProcess &w : writers) {
        QVERIFY(w.waitForFinished(90000));
        QCOMPARE(w.exitCode(), 0);
    }
    // Made for this user alone, both levels.
    for (const char *folder : {"state", "state/dosetta"})
        QCOMPARE(QFile::permissions(dir.filePath(folder)) & 0x0077, QFile::Permissions());
    JournalReader reader(path);
    QVERIFY2(reader.open(), qPrintable(reader.problem()));
    int next[2] = {0, 0};
    for (const JournalEntry &e : reader.entries(JournalFilter())) {
        const int w = e.origin == "w1" ? 1 : 0;
        QCOMPARE(e.fields.value("n").toInt(), next[w]++);
    }
    QCOMPARE(next[0], count);
    QCOMPARE(next[1], count);
    const JournalVerdict v = reader.verify();
    QVERIFY2(v.intact(), qPrintable(v.reason));
    QCOMPARE(v.entries, 2 * count);
}

void tst_Journal::verifyNamesTheFirstBadEntry_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<qint64>("firstBad");
    QTest::addColumn<Problem>("problem");
    QTest::newRow("intact") << "" << qint64(0) << Problem::None;
    QTest::newRow("a value edited") << R"(UPDATE entries SET fields = '{"n":99}' WHERE seq = 5)"
                                    << qint64(5) << Problem::HashMismatch;
    QTest::newRow("a time edited") << "UPDATE entries SET time_ms = time_ms + 1 WHERE seq = 7"
                                   << qint64(7) << Problem::HashMismatch;
    QTest::newRow("a hash replaced")
        << "UPDATE entries SET hash = (SELECT hash FROM entries WHERE seq = 2) WHERE seq = 8"
        << qint64(8) << Problem::HashMismatch;
    QTest::newRow("a row deleted")
        << "DELETE FROM entries WHERE seq = 5" << qint64(6) << Problem::MissingPredecessor;
    QTest::newRow("the first row deleted")
        << "DELETE FROM entries WHERE seq = 1" << qint64(2) << Problem::MissingPredecessor;
    QTest::newRow("the first rows deleted, the rest renumbered")
        << "DELETE FROM entries WHERE seq < 3; UPDATE entries SET seq = seq - 2" << qint64(1)
        << Problem::MissingPredecessor;
    QTest::newRow("a row deleted, the rest renumbered")
        << "DELETE FROM entries WHERE seq = 5; UPDATE entries SET seq = seq - 1 WHERE seq > 5"
        << qint64(5) << Problem::PredecessorChanged;
    QTest::newRow("two rows swapped") << "UPDATE entries SET seq = -1 WHERE seq = 4;"
                                         "UPDATE entries SET seq = 4 WHERE seq = 5;"
                                         "UPDATE entries SET seq = 5 WHERE seq = -1"
                                      << qint64(4) << Problem::Reordered;
    QTest::newRow("fields above 64 KiB")
        << R"(UPDATE entries SET fields = '{"x":"' || hex(zeroblob(40000)) || '"}' WHERE seq = 3)"
        << qint64(3) << Problem::Oversize;
}

void tst_Journal::verifyNamesTheFirstBadEntry()
{
    QFETCH(QString, sql);
    QFETCH(qint64, firstBad);
    QFETCH(Problem, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    {
        Journal journal(path);
        // Texts that need escapes, and a broken UTF-16 pair, must read back as they were hashed.
        const QString odd = QStringLiteral("\"\u00f6\n\\") + QChar(0xd800);
        for (int n = 0; n < 10; ++n)
            journal.append(entry(T0 + n, n == 2 ? odd : "pump-1", "setting", {},
                                 {{"n", n}, {"note", n == 3 ? odd : "-"}}));
        QVERIFY(journal.flush(10000));
    }
    QVERIFY(sql.isEmpty() || tamper(path, sql));
    JournalReader reader(path);
    QVERIFY(reader.open());
    const JournalVerdict v = reader.verify();
    QCOMPARE(v.problem, problem);
    QCOMPARE(v.firstBad, firstBad);
    QCOMPARE(v.reason.isEmpty(), problem == Problem::None);
}

void tst_Journal::filters_data()
{
    QTest::addColumn<QString>("pump");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qint64>("since");
    QTest::addColumn<qint64>("until");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("entries"); // their "tag" fields, oldest first
    QTest::addColumn<QString>("runs");    // run ids, "+" after an open one
    QTest::addColumn<bool>("more");
    const qint64 all = JournalFilter().sinceMs;
    const qint64 none = JournalFilter().untilMs;
    QTest::newRow("everything") << ""
                                << "" << all << none << 0 << "a1 a2 a3 b1 a4 b2 a5 b3"
                                << "ra rb rc+" << false;
    QTest::newRow("one pump") << "B"
                              << "" << all << none << 0 << "b1 b2 b3"
                              << "rb" << false;
    QTest::newRow("one kind") << ""
                              << "run-end" << all << none << 0 << "a3 b2"
                              << "ra rb rc+" << false;
    QTest::newRow("since, inclusive") << ""
                                      << "" << T0 + 4000 << none << 0 << "a4 b2 a5 b3"
                                      << "rc+" << false;
    QTest::newRow("until, exclusive") << ""
                                      << "" << all << T0 + 4000 << 0 << "a1 a2 a3 b1"
                                      << "ra rb" << false;
    QTest::newRow("the newest two") << ""
                                    << "" << all << none << 2 << "a5 b3"
                                    << "rb rc+" << true;
    QTest::newRow("a limit that leaves nothing out") << "A"
                                                     << "" << all << none << 5 << "a1 a2 a3 a4 a5"
                                                     << "ra rc+" << false;
}

// Runs on two pumps: ra ends, rb ends (on B, overlapping ra), rc stays open.
void tst_Journal::filters()
{
    QFETCH(QString, pump);
    QFETCH(QString, kind);
    QFETCH(qint64, since);
    QFETCH(qint64, until);
    QFETCH(int, limit);
    QFETCH(QString, entries);
    QFETCH(QString, runs);
    QFETCH(bool, more);
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    const QJsonObject asked{{"volume_ml", 5}};
    const QVector<JournalEntry> written{
        entry(T0, "A", "run-start", "ra", {{"tag", "a1"}, {"asked", asked}}),
        entry(T0 + 1000, "A", "setting", "ra", {{"tag", "a2"}}),
        entry(T0 + 2000, "A", "run-end", "ra",
              {{"tag", "a3"}, {"cause", "done"}, {"volume_ml", 4.998}, {"seconds", 30}}),
        entry(T0 + 2500, "B", "run-start", "rb", {{"tag", "b1"}}),
        entry(T0 + 4000, "A", "run-start", "rc", {{"tag", "a4"}}),
        entry(T0 + 5000, "B", "run-end", "rb", {{"tag", "b2"}, {"cause", "stopped"}}),
        entry(T0 + 6000, "A", "link", {}, {{"tag", "a5"}}),
        entry(T0 + 7000, "B", "setting", {}, {{"tag", "b3"}}),
    };
    QVector<JournalEntry> signalled;
    {
        Journal journal(path);
        connect(
            &journal, &Journal::written, this,
            [&signalled](const JournalEntry &e) { signalled << e; }, Qt::DirectConnection);
        for (const JournalEntry &e : written)
            QVERIFY(journal.append(e));
        QVERIFY(journal.flush(10000));
    }
    JournalReader reader(path);
    QVERIFY(reader.open());
    JournalFilter filter;
    filter.pump = pump;
    filter.kind = kind;
    filter.sinceMs = since;
    filter.untilMs = until;
    filter.limit = limit;
    bool left = !more;
    QStringList tags;
    for (const JournalEntry &e : reader.entries(filter, &left))
        tags << e.fields.value("tag").toString();
    QCOMPARE(tags.join(' '), entries);
    QCOMPARE(left, more);
    filter.kind.clear();
    QStringList ids;
    for (const JournalRun &run : reader.runs(filter))
        ids << run.start.runId + (run.open() ? "+" : "");
    QCOMPARE(ids.join(' '), runs);

    // Each written entry was signalled once, with what the file holds.
    const QVector<JournalEntry> all = reader.entries(JournalFilter());
    QCOMPARE(signalled.size(), all.size());
    for (int i = 0; i < all.size(); ++i) {
        QCOMPARE(signalled.at(i).seq, qint64(i + 1));
        QCOMPARE(signalled.at(i).hash, all.at(i).hash);
    }
    const JournalRun ra = reader.runs(JournalFilter()).first();
    QCOMPARE(ra.toJson().value("asked").toObject(), asked);
    QCOMPARE(ra.toJson().value("volume_ml").toDouble(), 4.998);
    QCOMPARE(ra.toJson().value("cause").toString(), QStringLiteral("done"));
    QCOMPARE(ra.end.timeMs - ra.start.timeMs, qint64(2000));
}

void tst_Journal::openRunsOfAnOwner()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    {
        Journal journal(path);
        JournalEntry e = entry(T0, "A", "run-start", "r1");
        e.origin = "bridge";
        journal.append(e);                                     // open, the bridge's
        journal.append(entry(T0 + 1, "A", "run-start", "r2")); // open, the tool's
        journal.append(entry(T0 + 2, "A", "run-start", "r3")); // ends below
        journal.append(entry(T0 + 3, "B", "run-start", "r4")); // another pump
        journal.append(entry(T0 + 4, "A", "run-end", "r3"));
        e.runId = "r5";
        e.who = "client-7";
        journal.append(e);
        QVERIFY(journal.flush(10000));
    }
    JournalReader reader(path);
    const auto ids = [&reader](const QString &origin, const QString &who) {
        QStringList list;
        for (const JournalRun &run : reader.openRuns("A", origin, who))
            list << run.start.runId;
        return list.join(' ');
    };
    QCOMPARE(ids("cli", {}), QStringLiteral("r2"));
    QCOMPARE(ids("bridge", {}), QStringLiteral("r1 r5"));
    QCOMPARE(ids("bridge", "client-7"), QStringLiteral("r5"));
    QCOMPARE(ids("sila", {}), QString());
}

void tst_Journal::totals_data()
{
    QTest::addColumn<QString>("pump");
    QTest::addColumn<double>("volumeLimit");
    QTest::addColumn<double>("hoursLimit");
    // runs life-ml life-h since-ml since-h last-service part due: as JSON
    QTest::addColumn<QString>("expected");
    const QString a = R"({"pump":"A","runs":4,"volume_ml":17.75,"hours":2.5,)"
                      R"("since_service":{"volume_ml":2.5,"hours":1},)"
                      R"("last_service_ms":1796825052926,"last_service_part":"diaphragm",)";
    QTest::newRow("no threshold: not known") << "A" << 0.0 << 0.0 << a + R"("service_due":null})";
    QTest::newRow("volume reached at the threshold")
        << "A" << 2.5 << 0.0 << a + R"("service_due":true})";
    QTest::newRow("volume a drop short, hours short")
        << "A" << 2.501 << 1.5 << a + R"("service_due":false})";
    QTest::newRow("hours reached, volume not")
        << "A" << 100.0 << 1.0 << a + R"("service_due":true})";
    QTest::newRow("never serviced: the life counts")
        << "B" << 3.0 << 0.0
        << R"({"pump":"B","runs":1,"volume_ml":3,"hours":0.1,"since_service":{"volume_ml":3,)"
           R"("hours":0.1},"last_service_ms":null,"last_service_part":null,"service_due":true})";
    QTest::newRow("serviced, never run")
        << "C" << 1.0 << 1.0
        << R"({"pump":"C","runs":0,"volume_ml":0,"hours":0,"since_service":{"volume_ml":0,)"
           R"("hours":0},"last_service_ms":1796825049927,"last_service_part":null,)"
           R"("service_due":false})";
    QTest::newRow("a count that is no number adds nothing")
        << "D" << 0.0 << 0.0
        << R"({"pump":"D","runs":1,"volume_ml":0,"hours":0,"since_service":{"volume_ml":0,)"
           R"("hours":0},"last_service_ms":null,"last_service_part":null,"service_due":null})";
}

// Four pumps: A serviced twice between runs, B never, C only serviced, D with a broken count;
// run-start entries carrying a volume of their own must not count.
void tst_Journal::totals()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath("totals.sqlite");
    if (!QFileInfo::exists(path)) {
        Journal journal(path);
        const auto end = [](qint64 at, const QString &pump, const QJsonValue &ml,
                            const QJsonValue &s) {
            return entry(at, pump, "run-end", "r" + QString::number(at),
                         {{"cause", "done"}, {"volume_ml", ml}, {"seconds", s}});
        };
        journal.append(entry(T0, "A", "run-start", "r0", {{"volume_ml", 99}, {"seconds", 99}}));
        journal.append(end(T0 + 1000, "A", 10, 1800));
        journal.append(entry(T0 + 1500, "A", "service", {}, {{"part", "valves"}}));
        journal.append(end(T0 + 2000, "A", 5, 3600));
        journal.append(entry(T0 + 3000, "A", "service", {}, {{"part", "diaphragm"}}));
        journal.append(end(T0 + 3000, "A", 0.25, 0)); // the same millisecond: before it
        journal.append(end(T0 + 4000, "A", 2.5, 3600));
        journal.append(end(T0 + 500, "B", 3, 360));
        journal.append(entry(T0 + 1, "C", "service", {}));
        journal.append(end(T0 + 2, "D", "n/a", QJsonValue()));
        QVERIFY(journal.flush(10000));
    }
    QFETCH(QString, pump);
    QFETCH(double, volumeLimit);
    QFETCH(double, hoursLimit);
    QFETCH(QString, expected);
    JournalReader reader(path);
    const QVector<JournalTotals> one = reader.totals(pump);
    QVERIFY2(reader.problem().isEmpty(), qPrintable(reader.problem()));
    QCOMPARE(one.size(), 1);
    QJsonObject got = one.first().toJson({volumeLimit, hoursLimit});
    got.remove("last_service");
    QCOMPARE(QJsonDocument(got).toJson(QJsonDocument::Compact),
             QJsonDocument::fromJson(expected.toUtf8()).toJson(QJsonDocument::Compact));
    QStringList all;
    for (const JournalTotals &t : reader.totals())
        all << t.pump;
    QCOMPARE(all.join(' '), QStringLiteral("A B C D"));
}

void tst_Journal::unwritable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("because");
    QTest::newRow("folder cannot be made") << "folder"
                                           << "Not a directory";
    QTest::newRow("not a regular file") << "directory"
                                        << "not a regular file";
    QTest::newRow("not a database") << "garbage"
                                    << "not a database";
    QTest::newRow("another program's database") << "foreign"
                                                << "not a DOSETTA journal";
    QTest::newRow("read-only file system") << "readonly"
                                           << "Read-only file system";
    QTest::newRow("disk full") << "full"
                               << "No space left on device";
}

// Reported once, whatever is appended; append returns at once; nothing is written to a file
// that is not a journal.
void tst_Journal::unwritable()
{
    QFETCH(QString, kind);
    QFETCH(QString, because);
    QTemporaryDir dir;
    QString path = dir.filePath("journal.sqlite");
    std::unique_ptr<SmallFileSystem> small;
    if (kind == "folder") {
        QFile(dir.filePath("state")).open(QIODevice::WriteOnly);
        path = dir.filePath("state/dosetta/journal.sqlite");
    } else if (kind == "directory") {
        QVERIFY(QDir(dir.path()).mkdir("journal.sqlite"));
    } else if (kind == "garbage") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
    } else if (kind == "foreign") {
        QVERIFY(tamper(path, "CREATE TABLE samples (x); INSERT INTO samples VALUES (1)"));
    } else {
        small = std::make_unique<SmallFileSystem>("size=256k");
        QVERIFY2(small->mounted, "a full or read-only file system: mounting a small tmpfs "
                                 "needs root and a system that allows it");
        path = small->dir.filePath("journal.sqlite");
        {
            Journal journal(path);
            journal.append(entry(T0, "A", "setting", {}));
            QVERIFY(journal.flush(10000));
        }
        if (kind == "readonly") {
            QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", small->dir.path()}), 0);
        } else {
            QFile filler(small->dir.filePath("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
            }
        }
    }
    const QByteArray contents = bytes(path);

    auto journal = std::make_unique<Journal>(path);
    QSignalSpy problems(journal.get(), &Journal::problem);
    QElapsedTimer slowest;
    qint64 slowestMs = 0;
    for (int n = 0; n < Journal::Capacity + 7; ++n) {
        slowest.start();
        journal->append(entry(T0 + n, "A", "setting", {}, {{"n", n}}));
        slowestMs = std::max(slowestMs, slowest.elapsed());
    }
    // Far below the writer's retry and the database's lock wait, which it must never share.
    QVERIFY2(slowestMs < 500, qPrintable(QString::number(slowestMs)));
    QVERIFY(!journal->flush(2500)); // two tries at least
    QCOMPARE(journal->dropped(), qint64(7));
    QCOMPARE(journal->queued(), int(Journal::Capacity));
    QCOMPARE(problems.count(), 2); // the file, the full queue
    const QString first = problems.at(0).at(0).toString();
    QVERIFY2(first.contains(because, Qt::CaseInsensitive), qPrintable(first));
    QVERIFY2(problems.at(1).at(0).toString().contains("7 entries were not recorded"),
             qPrintable(problems.at(1).at(0).toString()));
    journal.reset();
    if (kind != "full")
        QCOMPARE(bytes(path), contents);
    if (small) {
        // What was written before stays whole.
        JournalReader reader(path);
        QVERIFY2(reader.verify().intact() && reader.verify().entries == 1,
                 qPrintable(reader.problem()));
    }
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--write-entries") == 0)
        return writeEntries(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                            std::atoi(argv[4]));
    tst_Journal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journal.moc"
