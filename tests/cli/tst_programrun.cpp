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

} // namespace

class ProgramRunTest : public QObject
{
    Q_OBJECT

private slots:
    void runsToItsEnd();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void interruptStopsThePump();
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

    // The program and step columns last, the two steps longer than a poll tick in their order.
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.left(text.indexOf('\n')).trimmed().endsWith(",program,step"), text.left(400));
    const int wait = text.indexOf(",Short,2 wait\r\n");
    QVERIFY2(wait > 0 && wait < text.indexOf(",Short,3 run\r\n"), text.constData());
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
