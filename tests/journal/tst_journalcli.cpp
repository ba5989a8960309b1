// dosetta-cli journal as a program of its own, on journals the library wrote: its output forms,
// filters, verify and exit codes.

#include "journal/Journal.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr qint64 T0 = 1796774400000; // 2026-12-09T00:00:00Z

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList &arguments, const QStringList &environment = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DOSETTA_JOURNAL");
    for (const QString &pair : environment)
        env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DOSETTA_CLI_PROGRAM), arguments);
    Run r;
    if (!p.waitForFinished(30000))
        p.kill();
    p.waitForFinished();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

class tst_JournalCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void forms_data();
    void forms();
    void jsonAndCsvCarryEveryEntry();
    void verifyNamesTheBrokenEntry();
    void serviceDoneThenTotals_data();
    void serviceDoneThenTotals();
    void path_data();
    void path();

private:
    QTemporaryDir dir;
    QString file;
};

// Two pumps over two days: a run that ends, one still open, a setting with a comma and a quote.
void tst_JournalCli::initTestCase()
{
    file = dir.filePath("journal.sqlite");
    Journal journal(file);
    const auto add = [&journal](qint64 at, const QString &pump, const QString &kind,
                                const QString &run, const QJsonObject &fields) {
        JournalEntry e;
        e.timeMs = at;
        e.pump = pump;
        e.kind = kind;
        e.origin = "cli";
        e.who = "alice";
        e.runId = run;
        e.fields = fields;
        QVERIFY(journal.append(e));
    };
    add(T0, "A", "run-start", "run-one", {{"asked", QJsonObject{{"volume_ml", 5}}}});
    add(T0 + 30000, "A", "run-end", "run-one",
        {{"cause", "done"}, {"volume_ml", 4.998}, {"seconds", 30}});
    add(T0 + 60000, "B", "setting", {}, {{"note", "12,5 \"fast\""}});
    add(T0 + 86400000, "B", "run-start", "run-two", {});
    QVERIFY(journal.flush(10000));
}

void tst_JournalCli::forms_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a pattern for the whole of standard output
    QTest::addColumn<QString>("err"); // a pattern found in standard error
    const QString e = "\n +\\d+  2026-12-";
    QTest::newRow("table") << QStringList{"journal"} << 0
                           << "^ +SEQ  TIME \\(UTC\\) +PUMP +KIND +ORIGIN +WHO +RUN +FIELDS" + e +
                                  "09T00:00:00.000Z  A .* run-one +asked=\\{\"volume_ml\":5\\}" +
                                  e + ".*cause=done seconds=30 volume_ml=4.998" + e +
                                  ".*note=\"12,5 \\\\\"fast\\\\\"\"" + e + "10.*\n$"
                           << "^$";
    QTest::newRow("one pump, one day")
        << QStringList{"journal", "--pump", "B", "--until", "2026-12-09"} << 0
        << "^ +SEQ .*\n +3  .* setting .*\n$"
        << "^$";
    QTest::newRow("since an hour with an offset")
        << QStringList{"journal", "--since", "2026-12-09T01:00+01:00"} << 0 << "\n +2  (.*\n){3}$"
        << "^$";
    QTest::newRow("runs") << QStringList{"journal", "--runs"} << 0
                          << "^RUN .*\nrun-one +2026-12-09T00:00:00.000Z  A .* "
                             "2026-12-09T00:00:30.000Z  done +4.998 ml +30 s +volume_ml=5\n"
                             "run-two +2026-12-10T00:00:00.000Z  B .* open +- +- +-\n$"
                          << "^$";
    QTest::newRow("the newest one")
        << QStringList{"journal", "--limit", "1"} << 0 << "^ +SEQ .*\n +4  .*\n$"
        << "--limit 0 shows all";
    QTest::newRow("nothing matches") << QStringList{"journal", "--kind", "link"} << 0 << "^$"
                                     << "no entries";
    QTest::newRow("intact") << QStringList{"journal", "verify"} << 0
                            << "^4 entries, chain intact\n$"
                            << "^$";
    QTest::newRow("totals") << QStringList{"totals"} << 0
                            << "^PUMP .* DUE\nA +1 +4.998 +0.01 +4.998 +0.01 +-\n$"
                            << "^$";
    QTest::newRow("totals: due at the volume")
        << QStringList{"--json", "totals", "--service-volume-ml", "4.998"} << 0
        << "^\\{.*\"hours\":0.008333,.*\"pump\":\"A\",.*\"service_due\":true.*\\}\n$"
        << "^$";
    QTest::newRow("totals: short of the hours")
        << QStringList{"totals", "--service-hours", "0.0084"} << 0 << " no\n$"
        << "^$";
    QTest::newRow("totals: a pump that never ended a run")
        << QStringList{"totals", "--pump", "B"} << 0 << "^$"
        << "no runs or services";
    QTest::newRow("totals: a threshold of nothing")
        << QStringList{"totals", "--service-hours", "0"} << 2 << "^$"
        << "number above 0";
    QTest::newRow("service: a part it does not know")
        << QStringList{"service", "done", "--pump", "A", "--part", "pump"} << 2 << "^$"
        << "--part takes diaphragm or valves";
    QTest::newRow("a wrong time") << QStringList{"journal", "--since", "2026-02-30"} << 2 << "^$"
                                  << "--since takes a time";
    QTest::newRow("csv and json") << QStringList{"--json", "journal", "--csv"} << 2 << "\"exit\":2"
                                  << "exclude each other";
    QTest::newRow("verify takes no filter")
        << QStringList{"journal", "verify", "--pump", "A"} << 2 << "^$"
        << "whole journal";
    QTest::newRow("no such file") << QStringList{"journal", "--file", "nothing.sqlite"} << 3 << "^$"
                                  << "no such file";
    QTest::newRow("a folder") << QStringList{"journal", "verify", "--file", "."} << 3 << "^$"
                              << "not a regular file";
    QTest::newRow("another program's file")
        << QStringList{"journal", "--file", DOSETTA_CLI_PROGRAM} << 3 << "^$"
        << "not a database";
}

void tst_JournalCli::forms()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    if (!arguments.contains("--file"))
        arguments << "--file" << file;
    const Run r = runCli(arguments);
    QVERIFY2(QString::fromUtf8(r.out).contains(QRegularExpression(out)), r.out.constData());
    QVERIFY2(QString::fromUtf8(r.err).contains(QRegularExpression(err)), r.err.constData());
    QCOMPARE(r.exitCode, exitCode);
}

// Every entry once, as the library wrote it: JSON lines, and CSV rows that a reader splits back.
void tst_JournalCli::jsonAndCsvCarryEveryEntry()
{
    const Run json = runCli({"--json", "journal", "--limit", "0"}, {"DOSETTA_JOURNAL=" + file});
    QCOMPARE(json.exitCode, 0);
    const QList<QByteArray> lines = json.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QByteArray prev(64, '0');
    for (int i = 0; i < lines.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines.at(i)).object();
        QCOMPARE(o.value("seq").toInt(), i + 1);
        QCOMPARE(o.value("prev_hash").toString().toLatin1(), prev);
        prev = o.value("hash").toString().toLatin1();
    }
    const QJsonObject third = QJsonDocument::fromJson(lines.at(2)).object();
    QCOMPARE(third.value("time").toString(), QStringLiteral("2026-12-09T00:01:00.000Z"));
    QVERIFY(third.value("run_id").isNull());
    QCOMPARE(third.value("fields").toObject().value("note").toString(),
             QStringLiteral("12,5 \"fast\""));

    const Run csv = runCli({"journal", "--csv", "--file", file});
    QCOMPARE(csv.exitCode, 0);
    const QList<QByteArray> rows = csv.out.split('\n');
    QCOMPARE(rows.size(), 6); // header, four rows, nothing after the last line end
    QCOMPARE(rows.at(0),
             QByteArray("seq,time,pump,kind,origin,who,run_id,fields,prev_hash,hash\r"));
    // The fields' JSON quoted once for CSV; the hashes as the JSON lines gave them.
    QCOMPARE(rows.at(3), "3,2026-12-09T00:01:00.000Z,B,setting,cli,alice,,"
                         "\"{\"\"note\"\":\"\"12,5 \\\"\"fast\\\"\"\"\"}\"," +
                             third.value("prev_hash").toString().toLatin1() + ',' +
                             third.value("hash").toString().toLatin1() + '\r');
}

void tst_JournalCli::serviceDoneThenTotals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("pump");
    QTest::addColumn<QString>("part");
    QTest::newRow("by id, the diaphragm")
        << QStringList{"--pump", "A", "--part", "diaphragm"} << "A"
        << "diaphragm";
    QTest::newRow("by port and address, no part")
        << QStringList{"--port", "/dev/ttyX7", "--address", "4"} << "/dev/ttyX7:4" << QString();
}

// The entry written by the tool, read back by the tool: the pump's count starts again there.
void tst_JournalCli::serviceDoneThenTotals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, pump);
    QFETCH(QString, part);
    const QString copy = dir.filePath(QString("serviced-%1.sqlite").arg(QTest::currentDataTag()));
    QVERIFY(QFile::copy(file, copy));
    const Run done = runCli(QStringList{"--json", "service", "done", "--file", copy} + arguments,
                            {"USER=carol"});
    QVERIFY2(done.exitCode == 0, done.err.constData());
    const Run r = runCli({"--json", "totals", "--pump", pump, "--service-volume-ml", "1"},
                         {"DOSETTA_JOURNAL=" + copy});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(o.value("pump").toString(), pump);
    QCOMPARE(o.value("last_service_part").toString(), part);
    QCOMPARE(o.value("since_service").toObject().value("volume_ml").toDouble(), 0.0);
    QCOMPARE(o.value("volume_ml").toDouble(), pump == "A" ? 4.998 : 0.0);
    QCOMPARE(o.value("service_due").toBool(true), false);
    const Run entries = runCli({"--json", "journal", "--kind", "service", "--file", copy});
    const QJsonObject e = QJsonDocument::fromJson(entries.out).object();
    QCOMPARE(e.value("origin").toString(), QStringLiteral("cli"));
    QVERIFY(!e.value("who").toString().isEmpty());
}

void tst_JournalCli::verifyNamesTheBrokenEntry()
{
    const QString copy = dir.filePath("changed.sqlite");
    QVERIFY(QFile::copy(file, copy));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "change");
        db.setDatabaseName(copy);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(R"(UPDATE entries SET fields = '{"cause":"stopped",)"
                                   R"("seconds":30,"volume_ml":4.998}' WHERE seq = 2)"));
    }
    QSqlDatabase::removeDatabase("change");
    const Run r = runCli({"--json", "journal", "verify", "--file", copy});
    QCOMPARE(r.exitCode, 1);
    const QJsonObject verdict = QJsonDocument::fromJson(r.out.split('\n').first()).object();
    QCOMPARE(verdict.value("first_bad").toInt(), 2);
    QCOMPARE(verdict.value("problem").toString(), QStringLiteral("hash-mismatch"));
    QCOMPARE(verdict.value("intact").toBool(true), false);
    QVERIFY2(r.err.contains("entry 2 does not hold"), r.err.constData());
}

void tst_JournalCli::path_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("path");
    QTest::newRow("the variable") << QStringList{"DOSETTA_JOURNAL=/srv/j.sqlite"}
                                  << "/srv/j.sqlite";
    QTest::newRow("the state folder")
        << QStringList{"XDG_STATE_HOME=/var/x"} << "/var/x/dosetta/journal.sqlite";
    QTest::newRow("a relative state folder counts not")
        << QStringList{"XDG_STATE_HOME=x", "HOME=/home/y"}
        << "/home/y/.local/state/dosetta/journal.sqlite";
}

void tst_JournalCli::path()
{
    QFETCH(QStringList, environment);
    QFETCH(QString, path);
    const Run r = runCli({"journal", "--path"}, environment);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QString::fromUtf8(r.out), path + '\n');
}

QTEST_GUILESS_MAIN(tst_JournalCli)
#include "tst_journalcli.moc"
