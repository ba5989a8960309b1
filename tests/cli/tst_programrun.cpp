// dosetta-cli program run against the simulated pump running 20 times faster: the events, the
// recorded steps, the exit codes, and that every way out but done leaves the pump stopped.

#include "ChildSignal.h"
#include "CliTool.h"
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

// B's dose waits for A's; then both at once.
const QByteArray TwoPumps = R"({"format": "dosetta-program/1", "name": "Two", "pumps": ["A", "B"],
    "steps": [
    {"dose": {"volume_ml": 0.5, "rate_ml_min": 30}},
    {"dose": {"volume_ml": 0.5, "rate_ml_min": 30, "pump": "B"}},
    {"parallel": {"A": [{"run": {"rate_ml_min": 10, "for_s": 20}}],
                  "B": [{"run": {"rate_ml_min": 20, "for_s": 20}}]}}]})";

} // namespace

class ProgramRunTest : public QObject
{
    Q_OBJECT

private slots:
    void runsToItsEnd();
    void twoPumpsRunToTheirEnd();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void interruptStopsThePump();
    void interruptStopsEveryPump();
    void lostLinkStopsThePumpWhenItComesBack();

private:
    QString write(const QString &name, const QByteArray &content)
    {
        return writeFile(dir.filePath(name), content);
    }

    QTemporaryDir dir;
};

// The events in their order on standard output, and each step in the recorder's own columns.
void ProgramRunTest::runsToItsEnd()
{
    SimProcess sim(1, {"--speed", "20"});
    QVERIFY(sim.start());
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    QProcess p;
    startCli(
        p, sim.devicePath(),
        {"--json", "program", "run", write(QStringLiteral("short.json"), Short), "--csv", csv});
    QVERIFY(p.waitForFinished(30000));
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, err.constData());
    QStringList events;
    QJsonObject last;
    QList<double> finishedAt;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        last = QJsonDocument::fromJson(line).object();
        events << QStringLiteral("%1 %2")
                      .arg(last.value("event").toString())
                      .arg(last.value("position").toInt());
        if (last.value("event").toString() == QLatin1String("step-finished"))
            finishedAt << last.value("progress").toDouble();
    }
    // By time: a 1 s dose, a 2 s wait and a 40 s run, 43 s in all.
    QCOMPARE(finishedAt, (QList<double>{0.023, 0.07, 1.0}));
    QCOMPARE(last.value("progress").toDouble(), 1.0);
    QCOMPARE(events,
             QStringList({"step-started 1", "step-finished 1", "step-started 2", "step-finished 2",
                          "step-started 3", "step-finished 3", "ended 3"}));
    QCOMPARE(last.value("state").toString(), QStringLiteral("done"));
    QCOMPARE(last.value("total").toInt(), 3);

    // The program and step columns last, the two steps longer than a poll tick in their order.
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.left(text.indexOf('\n')).trimmed().endsWith(",program,step"), text.left(400));
    const int wait = text.indexOf(",Short,2 wait\r\n");
    QVERIFY2(wait > 0 && wait < text.indexOf(",Short,3 run\r\n"), text.constData());
}

// Each pump's events name it, the holds make none, and the program's end comes last with each
// pump's own count.
void ProgramRunTest::twoPumpsRunToTheirEnd()
{
    SimProcess a(1, {"--speed", "20"});
    SimProcess b(2, {"--speed", "20"});
    QVERIFY(a.start() && b.start());
    QProcess p;
    startCli(p, QStringLiteral("/nonexistent/ttyPUMP"),
             {"--json", "program", "run", write(QStringLiteral("two.json"), TwoPumps), "--pump",
              "A=" + a.devicePath(), "--pump", QStringLiteral("B=%1:2").arg(b.devicePath())});
    QVERIFY(p.waitForFinished(30000));
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, err.constData());
    QStringList events;
    QJsonObject last;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        last = QJsonDocument::fromJson(line).object();
        const QString event = last.value("event").toString();
        if (event.startsWith(QLatin1String("step-started")))
            events << QStringLiteral("%1 %2").arg(last.value("pump").toString(),
                                                  last.value("path").toString());
    }
    // Paths in each pump's own program: A holds before the parallel, B before its dose.
    QCOMPARE(events.filter(QRegularExpression(QStringLiteral("^A "))),
             (QStringList{"A steps[0]", "A steps[2]"}));
    QCOMPARE(events.filter(QRegularExpression(QStringLiteral("^B "))),
             (QStringList{"B steps[1]", "B steps[2]"}));
    QCOMPARE(last.value("event").toString(), QStringLiteral("ended"));
    QCOMPARE(last.value("state").toString(), QStringLiteral("done"));
    QCOMPARE(last.value("progress").toDouble(), 1.0);
    const QJsonObject pumps = last.value("pumps").toObject();
    // 0.5 ml and 10 ml/min for 20 s; 0.5 ml and 20 ml/min for 20 s.
    const qint64 countA =
        std::llround(pumps.value("A").toObject().value("volume_ml").toDouble() * 1000);
    const qint64 countB =
        std::llround(pumps.value("B").toObject().value("volume_ml").toDouble() * 1000);
    QVERIFY2(qAbs(countA - 3833) <= 5 && qAbs(countB - 7167) <= 5,
             qPrintable(QStringLiteral("%1 %2").arg(countA).arg(countB)));
    QTRY_COMPARE(SimLog::runsTotal(a.log()), countA);
    QTRY_COMPARE(SimLog::runsTotal(b.log()), countB);
}

void ProgramRunTest::refusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("named"); // in the error

    QTest::newRow("rate above the limit")
        << QByteArray(R"({"format": "dosetta-program/1", "name": "Bad", "steps": [
            {"wait": {"for_s": 1}}, {"dose": {"volume_ml": 1, "rate_ml_min": 150}}]})")
        << QStringList() << "steps[1].dose.rate_ml_min";
    // Standard input is a pipe here: nobody could press Enter.
    QTest::newRow("prompt without a terminal")
        << QByteArray(R"({"format": "dosetta-program/1", "name": "Ask", "steps": [
            {"prompt": {"text": "Go?"}}]})")
        << QStringList() << "--yes";
    QTest::newRow("a pump of the program without its port")
        << TwoPumps << QStringList{"--pump", "A=/nonexistent/ttyA"} << "--pump B=PORT";
    QTest::newRow("a pump the program does not name")
        << TwoPumps << QStringList{"--pump", "A=/nonexistent/ttyA", "--pump", "C=/nonexistent/ttyC"}
        << "has no pump \"C\"";
    QTest::newRow("two pumps on one port")
        << TwoPumps
        << QStringList{"--pump", "A=/nonexistent/tty:1", "--pump", "B=/nonexistent/tty:2"}
        << "each pump needs a port of its own";
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
    QProcess p;
    startCli(p, sim.devicePath(),
             QStringList{"program", "run", write(QStringLiteral("p.json"), content)} + options);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 2);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains(named.toUtf8()), err.constData());
    // The port was not even opened: nothing reached the pump.
    QTest::qWait(200);
    QCOMPARE(sim.received(), QStringList());
}

// Ctrl-C in the middle of a step: the tool's Stop is the last command the pump gets, and the
// tool reports what the pump counted after it.
void ProgramRunTest::interruptStopsThePump()
{
    SimProcess sim(1, {"--speed", "20"});
    QVERIFY(sim.start());
    QProcess p;
    startCli(p, sim.devicePath(), {"program", "run", write(QStringLiteral("long.json"), Long)});
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(QStringLiteral("01KY1")), 10000);
    QVERIFY(signalChild(p, SIGINT));
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const QRegularExpressionMatch said =
        QRegularExpression(QStringLiteral("the pump was stopped; ([0-9.]+) ml delivered"))
            .match(err);
    QVERIFY2(said.hasMatch(), qPrintable(err));
    QTRY_COMPARE(sim.received().filter(QRegularExpression(QStringLiteral("^01[^?]"))).constLast(),
                 QStringLiteral("01KY0"));
    QTRY_COMPARE(said.captured(1).toDouble(), SimLog::runsTotal(sim.log()) / 1000.0);
}

void ProgramRunTest::interruptStopsEveryPump()
{
    SimProcess a(1, {"--speed", "20"});
    SimProcess b(1, {"--speed", "20"});
    QVERIFY(a.start() && b.start());
    QProcess p;
    startCli(p, QStringLiteral("/nonexistent/ttyPUMP"),
             {"program", "run",
              write(QStringLiteral("both.json"),
                    R"({"format": "dosetta-program/1", "name": "Both", "pumps": ["A", "B"],
                        "steps": [{"parallel": {"A": [{"run": {"rate_ml_min": 10, "for_s": 600}}],
                                   "B": [{"run": {"rate_ml_min": 10, "for_s": 600}}]}}]})"),
              "--pump", "A=" + a.devicePath(), "--pump", "B=" + b.devicePath()});
    QTRY_VERIFY_WITH_TIMEOUT(a.received().contains(QStringLiteral("01KY1")) &&
                                 b.received().contains(QStringLiteral("01KY1")),
                             10000);
    QVERIFY(signalChild(p, SIGINT));
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 130);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("every pump was stopped"), err.constData());
    for (SimProcess *sim : {&a, &b})
        QTRY_COMPARE(
            sim->received().filter(QRegularExpression(QStringLiteral("^01[^?]"))).constLast(),
            QStringLiteral("01KY0"));
}

// The line hangs up for longer than the program may lose it: the program fails, and the Stop is
// the first thing the pump gets on the device it comes back on.
void ProgramRunTest::lostLinkStopsThePumpWhenItComesBack()
{
    const QString link = dir.filePath(QStringLiteral("pump"));
    SimProcess sim(1, {"--speed", "20", "--link", link});
    QVERIFY(sim.start());
    QProcess p;
    startCli(p, link, {"program", "run", write(QStringLiteral("long.json"), Long)});
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(QStringLiteral("01KY1")), 10000);
    sim.control("hangup 5");
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 3);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("took the Stop"), err.constData());
    // The frames on the device it came back on.
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
