// dosetta-cli program run against the simulated pump running 20 times faster: the events, the
// recorded steps, the exit codes, and that every way out but done leaves the pump stopped.

#include "ChildSignal.h"
#include "SimProcess.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QByteArray Short = R"({"format": "dosetta-program/1", "name": "Short", "steps": [
    {"dose": {"volume_ml": 0.5, "rate_ml_min": 30}},
    {"wait": {"for_s": 2}},
    {"run": {"rate_ml_min": 10, "for_s": 40}}]})";
// Thirty seconds at the simulator's speed: long enough to be cut short.
const QByteArray Long = R"({"format": "dosetta-program/1", "name": "Long", "steps": [
    {"run": {"rate_ml_min": 10, "for_s": 600}}]})";

} // namespace

class ProgramRunTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void runsToItsEnd();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void interruptStopsThePump();
    void lostLinkStopsThePumpWhenItComesBack();

private:
    QString write(const QString &name, const QByteArray &content);
    void start(QProcess &p, const QString &port, const QStringList &arguments);

    QTemporaryDir dir;
};

void ProgramRunTest::init()
{
    QVERIFY(dir.isValid());
}

QString ProgramRunTest::write(const QString &name, const QByteArray &content)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return file.fileName();
}

void ProgramRunTest::start(QProcess &p, const QString &port, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DOSETTA_PORT"), port);
    env.insert(QStringLiteral("DOSETTA_ADDRESS"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DOSETTA_CLI_PROGRAM), arguments);
}

// The events in their order on standard output, and each step in the recorder's own columns.
void ProgramRunTest::runsToItsEnd()
{
    SimProcess sim(1, {"--speed", "20"});
    QVERIFY(sim.start());
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    QProcess p;
    start(p, sim.devicePath(),
          {"--json", "program", "run", write(QStringLiteral("short.json"), Short), "--csv", csv});
    QVERIFY(p.waitForFinished(30000));
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, err.constData());
    QStringList events;
    QJsonObject last;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        last = QJsonDocument::fromJson(line).object();
        events << QStringLiteral("%1 %2")
                      .arg(last.value("event").toString())
                      .arg(last.value("position").toInt());
    }
    QCOMPARE(events,
             QStringList({"step-started 1", "step-finished 1", "step-started 2", "step-finished 2",
                          "step-started 3", "step-finished 3", "ended 3"}));
    QCOMPARE(last.value("state").toString(), QStringLiteral("done"));
    QCOMPARE(last.value("total").toInt(), 3);

    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().trimmed().split('\n');
    const QList<QByteArray> header = rows.first().trimmed().split(',');
    const int program = header.indexOf("program");
    const int step = header.indexOf("step");
    QVERIFY2(program >= 0 && step == header.size() - 1, rows.first().constData());
    QStringList steps;
    for (const QByteArray &row : rows.mid(1)) {
        const QList<QByteArray> cells = row.trimmed().split(',');
        if (cells.size() != header.size() || cells.at(step).isEmpty())
            continue;
        QCOMPARE(cells.at(program), QByteArray("Short"));
        if (steps.isEmpty() || steps.last() != QString::fromUtf8(cells.at(step)))
            steps << QString::fromUtf8(cells.at(step));
    }
    // The two steps that last longer than a poll tick show in every case.
    QVERIFY2(steps.contains("2 wait") && steps.contains("3 run"), qPrintable(steps.join('|')));
    QVERIFY2(steps.indexOf("2 wait") < steps.indexOf("3 run"), qPrintable(steps.join('|')));
}

void ProgramRunTest::refusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("named"); // in the error

    QTest::newRow("rate above the limit")
        << QByteArray(R"({"format": "dosetta-program/1", "name": "Bad", "steps": [
            {"wait": {"for_s": 1}}, {"dose": {"volume_ml": 1, "rate_ml_min": 150}}]})")
        << QStringList() << "steps[1].dose.rate_ml_min";
    QTest::newRow("no such file") << QByteArray() << QStringList() << "missing.json";
    // Standard input is a pipe here: nobody could press Enter.
    QTest::newRow("prompt without a terminal")
        << QByteArray(R"({"format": "dosetta-program/1", "name": "Ask", "steps": [
            {"prompt": {"text": "Go?"}}]})")
        << QStringList() << "--yes";
    QTest::newRow("record into a folder that is not there")
        << Short << QStringList{"--csv", "/nonexistent/run.csv"} << "--csv";
}

void ProgramRunTest::refusedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, options);
    QFETCH(QString, named);
    SimProcess sim(1, {"--speed", "20"});
    QVERIFY(sim.start());
    const QString file = content.isEmpty() ? dir.filePath(QStringLiteral("missing.json"))
                                           : write(QStringLiteral("p.json"), content);
    QProcess p;
    start(p, sim.devicePath(), QStringList{"program", "run", file} + options);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 2);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains(named.toUtf8()), err.constData());
    // The port was not even opened: nothing reached the pump.
    QTest::qWait(200);
    QCOMPARE(sim.received(), QStringList());
}

// Ctrl-C in the middle of a step: the tool's Stop is the last frame the pump gets.
void ProgramRunTest::interruptStopsThePump()
{
    SimProcess sim(1, {"--speed", "20"});
    QVERIFY(sim.start());
    QProcess p;
    start(p, sim.devicePath(), {"program", "run", write(QStringLiteral("long.json"), Long)});
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(QStringLiteral("01KY1")), 10000);
    QVERIFY(signalChild(p, SIGINT));
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    QVERIFY2(p.readAllStandardError().contains("the pump was stopped"), "no word of the Stop");
    QTRY_COMPARE(sim.received().constLast(), QStringLiteral("01KY0"));
}

// The line hangs up for longer than the program may lose it: the program fails, and the Stop is
// the first thing the pump gets on the device it comes back on.
void ProgramRunTest::lostLinkStopsThePumpWhenItComesBack()
{
    const QString link = dir.filePath(QStringLiteral("pump"));
    SimProcess sim(1, {"--speed", "20", "--link", link});
    QVERIFY(sim.start());
    QProcess p;
    start(p, link, {"program", "run", write(QStringLiteral("long.json"), Long)});
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(QStringLiteral("01KY1")), 10000);
    sim.control("hangup 5");
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 3);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("took the Stop"), err.constData());
    // The frames on the device it came back on: after the line that names it, before any later
    // one.
    QStringList after;
    QTRY_VERIFY([&] {
        after.clear();
        int devices = 0;
        for (const SimLog::Entry &e : sim.log()) {
            if (e.direction == QLatin1String("--") && e.line.contains(QLatin1String("device")))
                ++devices;
            else if (e.direction == QLatin1String("rx") && devices == 2)
                after << e.body;
        }
        return !after.isEmpty();
    }());
    QCOMPARE(after.first(), QStringLiteral("01KY0"));
    QCOMPARE(after.constLast(), QStringLiteral("01KY0"));
    QStringList keys = sim.received().filter(QRegularExpression(QStringLiteral("^01KY")));
    keys.removeDuplicates();
    QCOMPARE(keys, QStringList({"01KY1", "01KY0"}));
}

QTEST_GUILESS_MAIN(ProgramRunTest)
#include "tst_programrun.moc"
