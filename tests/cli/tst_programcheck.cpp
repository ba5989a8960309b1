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

private:
    QTemporaryDir dir;
    QString invalidFile;
};

void ProgramCheckTest::initTestCase()
{
    QVERIFY(dir.isValid());
    invalidFile = writeFile(dir.filePath(QStringLiteral("bad.json")), twoErrors);
    QVERIFY(!invalidFile.isEmpty());
}

void ProgramCheckTest::checks_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("the example")
        << QStringLiteral(EXAMPLE_PROGRAM) << 0
        << QByteArray("Rinse and dose: 11 steps, about 1 min 12 s, 14.433 ml, 1 prompt\n")
        << QByteArray();
    QTest::newRow("two errors") << QStringLiteral("bad.json") << 2 << QByteArray()
                                << QByteArray("dosetta-cli: steps[0].repeat.steps[0].dose."
                                              "rate_ml_min: 150 is above 100.0 ml/min\n"
                                              "dosetta-cli: steps[1].wait.for_s: 0 is not above "
                                              "0 s\n");
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

QTEST_GUILESS_MAIN(ProgramCheckTest)
#include "tst_programcheck.moc"
