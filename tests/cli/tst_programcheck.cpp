// dosetta-cli program check: the summary or every error, with no port to open.

#include "CliTool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray twoErrors = R"({"format": "dosetta-program/1", "name": "bad", "steps": [
    {"repeat": {"count": 2, "steps": [{"dose": {"volume_ml": 1, "rate_ml_min": 150}}]}},
    {"wait": {"for_s": 0}}]})";

const QByteArray twoPumps = R"({"format": "dosetta-program/1", "name": "Mix", "pumps": ["A", "B"],
    "steps": [
    {"dose": {"volume_ml": 1, "rate_ml_min": 30}},
    {"run": {"rate_ml_min": 5, "for_s": 12}},
    {"parallel": {"A": [{"run": {"rate_ml_min": 10, "for_s": 20}}],
                  "B": [{"repeat": {"count": 2, "steps": [{"wait": {"for_s": 5}}]}}]}},
    {"gradient": {"pumps": ["A", "B"], "total_ml_min": 20, "from_percent": 80, "to_percent": 20,
                  "for_s": 60, "steps": 3}}]})";

const QByteArray primeAndRun = R"({"format": "dosetta-program/1", "name": "Primed",
    "pumps": ["A", "B"], "steps": [
    {"prime": {"for_s": 10}}, {"run": {"rate_ml_min": 10, "for_s": 60}},
    {"dose": {"volume_ml": 0.1, "rate_ml_min": 12, "pump": "B"}}]})";

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run check(const QString &file, bool json = false)
{
    QProcess p;
    QStringList arguments{QStringLiteral("program"), QStringLiteral("check"), file};
    if (json)
        arguments.prepend(QStringLiteral("--json"));
    // A port that does not exist: a check that opened one would end with 3.
    startCli(p, QStringLiteral("/nonexistent/ttyPUMP"), arguments);
    Run r;
    if (!p.waitForFinished(20000))
        p.kill();
    p.waitForFinished();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

class ProgramCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checks_data();
    void checks();
    void asJson();
    void everyErrorInOrder_data();
    void everyErrorInOrder();

private:
    QTemporaryDir dir;
    QString invalidFile;
};

void ProgramCheckTest::initTestCase()
{
    QVERIFY(dir.isValid());
    invalidFile = writeFile(dir.filePath(QStringLiteral("bad.json")), twoErrors);
    QVERIFY(!invalidFile.isEmpty());
    QVERIFY(!writeFile(dir.filePath(QStringLiteral("mix.json")), twoPumps).isEmpty());
    QVERIFY(!writeFile(dir.filePath(QStringLiteral("prime.json")), primeAndRun).isEmpty());
}

void ProgramCheckTest::checks_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("the example")
        << QStringLiteral(EXAMPLE_PROGRAM) << 0
        << QByteArray("Rinse and dose: 11 steps, about 1 min 12 s, 14.433 ml, 1 prompt\n"
                      "note: steps[2].repeat.steps[0].dose: 0.2 ml at 60 ml/min would take under "
                      "half a second; it goes at full flow\n")
        << QByteArray();
    // The prime's time counts, its volume (the pump's own rate) does not; a dose of exactly half
    // a second keeps its rate, so no note.
    QTest::newRow("a timed prime on one of two pumps")
        << QStringLiteral("prime.json") << 0
        << QByteArray("Primed: 2 pumps, 3 steps, about 1 min 11 s, 10.1 ml\n"
                      "A: 2 steps, about 1 min 10 s, 10 ml\n"
                      "  prime for 10 s\n"
                      "  run 10 ml/min for 1 min\n"
                      "  hold until the program is done on every pump\n"
                      "B: 1 step, about 1 s, 0.1 ml\n"
                      "  hold until steps[0] to steps[1] is done on A\n"
                      "  dose 0.1 ml at 12 ml/min\n")
        << QByteArray();
    QTest::newRow("two errors") << QStringLiteral("bad.json") << 2 << QByteArray()
                                << QByteArray("dosetta-cli: steps[0].repeat.steps[0].dose."
                                              "rate_ml_min: 150 is above 100.0 ml/min\n"
                                              "dosetta-cli: steps[1].wait.for_s: 0 is below 1 "
                                              "s, the shortest wait the pump can time\n");
    // Each pump's own time and volume; the program's time stage by stage, each as long as its
    // longest part: 2 s + 12 s + 20 s + 60 s.
    QTest::newRow("two pumps: the plan per pump")
        << QStringLiteral("mix.json") << 0
        << QByteArray("Mix: 2 pumps, 11 steps, about 1 min 34 s, 25.333 ml\n"
                      "A: 6 steps, about 1 min 34 s, 15.333 ml\n"
                      "  dose 1 ml at 30 ml/min\n"
                      "  run 5 ml/min for 12 s\n"
                      "  run 10 ml/min for 20 s\n"
                      "  hold until steps[2].parallel is done on A, B\n"
                      "  run 16 ml/min for 20 s\n"
                      "  run 10 ml/min for 20 s\n"
                      "  run 4 ml/min for 20 s\n"
                      "  hold until the program is done on every pump\n"
                      "B: 5 steps, about 1 min 10 s, 10 ml\n"
                      "  hold until steps[0] to steps[1] is done on A\n"
                      "  repeat 2 times:\n"
                      "    wait 5 s\n"
                      "  hold until steps[2].parallel is done on A, B\n"
                      "  run 4 ml/min for 20 s\n"
                      "  run 10 ml/min for 20 s\n"
                      "  run 16 ml/min for 20 s\n"
                      "  hold until the program is done on every pump\n")
        << QByteArray();
    QTest::newRow("missing file")
        << QStringLiteral("missing.json") << 2 << QByteArray()
        << QByteArray("dosetta-cli: missing.json: cannot be read: No such file or directory\n");
}

void ProgramCheckTest::checks()
{
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QDir::setCurrent(dir.path());
    const Run r = check(file);
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, out);
    QCOMPARE(r.exitCode, exitCode);
}

void ProgramCheckTest::asJson()
{
    Run r = check(QStringLiteral(EXAMPLE_PROGRAM), true);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.count('\n'), 1);
    QJsonObject object = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(object.value("name").toString(), QStringLiteral("Rinse and dose"));
    QCOMPARE(object.value("steps").toInt(), 11);
    QCOMPARE(object.value("seconds").toDouble(), 71.6);
    QCOMPARE(object.value("volume_ml").toDouble(), 14.433);
    QCOMPARE(object.value("prompts").toInt(), 1);
    QCOMPARE(object.value("notes").toArray().size(), 1);
    QVERIFY(object.value("notes").toArray().at(0).toString().startsWith(
        "steps[2].repeat.steps[0].dose: "));

    // Two pumps: the program's numbers and each pump's with its plan.
    r = check(dir.filePath(QStringLiteral("mix.json")), true);
    QCOMPARE(r.exitCode, 0);
    object = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(object.value("seconds").toDouble(), 94.0);
    const QJsonArray pumps = object.value("pumps").toArray();
    QCOMPARE(pumps.size(), 2);
    QCOMPARE(pumps.at(1).toObject().value("pump").toString(), QStringLiteral("B"));
    QCOMPARE(pumps.at(1).toObject().value("volume_ml").toDouble(), 10.0);
    QCOMPARE(pumps.at(1).toObject().value("plan").toArray().size(), 8);

    // One object with every error, not one per error nor only the last.
    r = check(invalidFile, true);
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.out.count('\n'), 1);
    object = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(object.value("ok").toBool(true), false);
    QCOMPARE(object.value("exit").toInt(), 2);
    QCOMPARE(object.value("errors").toArray().size(), 2);
    QVERIFY(object.value("errors").toArray().at(1).toString().startsWith("steps[1].wait.for_s"));
}

void ProgramCheckTest::everyErrorInOrder_data()
{
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("a mistyped field")
        << QByteArray(R"({"dose": {"volum_ml": 1, "rate_ml_min": 10}})")
        << QStringList{"steps[0].dose.volume_ml: missing",
                       R"(steps[0].dose.volum_ml: unknown field (did you mean "volume_ml"?))"};
    QTest::newRow("longer than the pump can time, a wait too short to time")
        << QByteArray(R"({"run": {"rate_ml_min": 10, "for_s": 6000}}, {"wait": {"for_s": 0.5}})")
        << QStringList{"steps[0].run.for_s: 6000 is above 5999 s (01:39:59)",
                       "steps[1].wait.for_s: 0.5 is below 1 s, the shortest wait the pump can "
                       "time"};
    QTest::newRow("a prime too short, too long, a field misspelt, without a time")
        << QByteArray(R"({"prime": {"for_s": 0.5}}, {"prime": {"for_s": 6000}},)"
                      R"({"prime": {"fro_s": 10}}, {"prime": {}})")
        << QStringList{"steps[0].prime.for_s: 0.5 is below 1 s, the shortest prime a program times",
                       "steps[1].prime.for_s: 6000 is above 5999 s (01:39:59)",
                       "steps[2].prime.for_s: missing",
                       R"(steps[2].prime.fro_s: unknown field (did you mean "for_s"?))",
                       "steps[3].prime.for_s: missing"};
}

void ProgramCheckTest::everyErrorInOrder()
{
    QFETCH(QByteArray, steps);
    QFETCH(QStringList, errors);
    const QString file =
        writeFile(dir.filePath(QStringLiteral("errors.json")),
                  R"({"format": "dosetta-program/1", "name": "bad", "steps": [)" + steps + "]}");
    QVERIFY(!file.isEmpty());

    Run r = check(file);
    QCOMPARE(r.exitCode, 2);
    QByteArray said;
    for (const QString &error : errors)
        said += "dosetta-cli: " + error.toUtf8() + '\n';
    QCOMPARE(r.err, said);

    r = check(file, true);
    QCOMPARE(r.exitCode, 2);
    const QJsonObject object = QJsonDocument::fromJson(r.out).object();
    QStringList listed;
    for (const QJsonValue &error : object.value("errors").toArray())
        listed << error.toString();
    QCOMPARE(listed, errors);
    QCOMPARE(object.value("error").toString(), errors.constFirst());
}

QTEST_GUILESS_MAIN(ProgramCheckTest)
#include "tst_programcheck.moc"
