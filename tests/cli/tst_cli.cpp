// dosetta-cli against the simulated pump on a pseudo-terminal: what it prints, what reaches the
// pump, and its exit codes.

#include "ChildSignal.h"
#include "SimProcess.h"

#include "platform/TerminationSignals.h"
#include "recorder/CsvFormat.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTime>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QProcessEnvironment cliEnvironment(const QString &port)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DOSETTA_PORT"), port);
    env.insert(QStringLiteral("DOSETTA_ADDRESS"), QStringLiteral("1"));
    return env;
}

Run runCli(const QString &port, const QStringList &arguments, const QString &program = {})
{
    QProcess p;
    p.setProcessEnvironment(cliEnvironment(port));
    p.start(program.isEmpty() ? QStringLiteral(DOSETTA_CLI_PROGRAM) : program, arguments);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The simulator's log arrives through a pipe: waits until it shows the frame more often than
// `seen` times.
bool logShows(SimProcess &sim, const QString &body, int seen = 0)
{
    const QDeadlineTimer deadline(5000);
    while (sim.received().count(body) <= seen && !deadline.hasExpired())
        QTest::qWait(20);
    return sim.received().count(body) > seen;
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void statusAsJson();
    void setThenGet();
    void commandsAnswer_data();
    void commandsAnswer();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void pumpRefuses();
    void dispenseWaitsForTheModel();
    void interruptStopsThePump_data();
    void interruptStopsThePump();
    void faultsDuringARun_data();
    void faultsDuringARun();
    void runEndsWithThePumpsCount_data();
    void runEndsWithThePumpsCount();
    void dispenseWithoutRateAtFullFlow();
    void signalActionsComeBack();
    void portProblems_data();
    void portProblems();
    void watchWritesCsv();
    void jsonFailuresAndCsvToStandardOutput();
    void outputNamesAndTypes_data();
    void outputNamesAndTypes();
    void limitsFollowTheModel_data();
    void limitsFollowTheModel();
    void watchAtAnIntervalThePumpAllows_data();
    void watchAtAnIntervalThePumpAllows();

private:
    SimProcess sim{1};
    // A FLUXO 02, which moves at most 20 ml/min.
    SimProcess small{1, {QStringLiteral("--type"), QStringLiteral("02")}};
};

void CliTest::initTestCase()
{
    QVERIFY(sim.start());
    QVERIFY(small.start());
}

void CliTest::statusAsJson()
{
    const Run r = runCli(sim.devicePath(), {"--json", "status"});
    QCOMPARE(r.exitCode, 0);
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(r.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    // The simulator's power-on values.
    QCOMPARE(o.value("flow_rate_ml_min").toDouble(), 10.0);
    QCOMPARE(o.value("contrast_percent").toInt(), 40);
    QCOMPARE(o.value("address").toInt(), 1);
    QCOMPARE(o.value("model").toString(), QStringLiteral("FLUXO 10"));
    QCOMPARE(o.value("protocol_answer").toBool(), true);
    QVERIFY(o.value("errors").isArray());
    // Every value the pump reported is known; whether a service is due is null while no
    // threshold is set, and comes only once a journal exists.
    for (const QString &key : o.keys())
        QVERIFY2(key == QLatin1String("service_due") || !o.value(key).isNull(), qPrintable(key));
}

void CliTest::setThenGet()
{
    Run r = runCli(sim.devicePath(), {"set", "flow-rate", "12.5"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), QByteArray("12.5"));
    QVERIFY(logShows(sim, QStringLiteral("01RV00012500")));
    r = runCli(sim.devicePath(), {"get", "flow-rate"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), QByteArray("12.5"));
}

void CliTest::commandsAnswer_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // a pattern for the whole of standard output
    QTest::newRow("search finds the pump")
        << QStringList{"search", "--from", "0", "--to", "2"} << 0 << "^1\n$";
    QTest::newRow("search past it")
        << QStringList{"search", "--from", "2", "--to", "3"} << 3 << "^$";
    QTest::newRow("typed query") << QStringList{"raw", "?LC"} << 0 << "^040\tanswered\n$";
    QTest::newRow("several keys") << QStringList{"get", "model", "contrast"} << 0
                                  << "^model: FLUXO 10\ncontrast: 40\n$";
    QTest::newRow("list entry by index")
        << QStringList{"set", "digital-in2", "3"} << 0 << "^Reset\n$";
    QTest::newRow("duration") << QStringList{"set", "break-time", "2m5s"} << 0 << "^00:02:05\n$";
    QTest::newRow("keys") << QStringList{"help", "keys"} << 0 << "flow-rate .*\n(.*\n)*  errors ";
}

void CliTest::commandsAnswer()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const Run r = runCli(sim.devicePath(), arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(QRegularExpression(output).match(QString::fromUtf8(r.out)).hasMatch(),
             r.out.constData());
}

void CliTest::refusedBeforeSending_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("not a number") << QStringList{"set", "flow-rate", "abc"};
    QTest::newRow("above the limit") << QStringList{"set", "flow-rate", "1000"};
    QTest::newRow("below the limit") << QStringList{"set", "volume", "0.01"};
    QTest::newRow("not a list entry") << QStringList{"set", "language", "Klingon"};
    QTest::newRow("index past the list") << QStringList{"set", "digital-out", "5"};
    QTest::newRow("calibration off the step") << QStringList{"set", "calibration-percent", "95.55"};
    QTest::newRow("duration past the window's") << QStringList{"set", "dispense-time", "2h"};
    QTest::newRow("read only") << QStringList{"set", "firmware", "1"};
    QTest::newRow("unknown key") << QStringList{"get", "pressure"};
    QTest::newRow("dispense over the limit") << QStringList{"dispense", "--volume", "1000"};
    QTest::newRow("run without rate") << QStringList{"run", "--for", "5m"};
    QTest::newRow("unknown option") << QStringList{"status", "--fast"};
}

void CliTest::refusedBeforeSending()
{
    QFETCH(QStringList, arguments);
    const int before = sim.received().size();
    const Run r = runCli(sim.devicePath(), arguments);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(sim.received().size(), before);
}

void CliTest::pumpRefuses()
{
    // The simulated pump refuses a pause while it stands.
    const Run r = runCli(sim.devicePath(), {"pause"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("refused pause"), r.err.constData());
}

void CliTest::dispenseWaitsForTheModel()
{
    const Run r = runCli(sim.devicePath(),
                         {"--json", "dispense", "--volume", "0.5", "--rate", "60", "--wait"});
    const qint64 endMs = QTime::currentTime().msecsSinceStartOfDay();
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QVERIFY(logShows(sim, QStringLiteral("01KY1")));
    // It returned once the whole volume was out, not before.
    QCOMPARE(o.value("volume_delivered_ml").toDouble(), 0.5);
    const auto log = sim.log();
    qint64 startMs = -1;
    for (const SimLog::Entry &e : SimLog::receivedEntries(log)) {
        if (e.body == QLatin1String("01KY1"))
            startMs = e.ms;
    }
    QVERIFY(startMs >= 0);
    QCOMPARE(SimLog::received(log).filter(QStringLiteral("01DV")).constLast(),
             QStringLiteral("01DV00000500"));
    const qint64 modelMs = std::llround(o.value("time_elapsed_s").toDouble() * 1000);
    const qint64 waitedMs = (endMs - startMs + 86400000) % 86400000;
    QVERIFY2(waitedMs >= modelMs && waitedMs <= modelMs + 1000,
             qPrintable(QStringLiteral("waited %1 ms for a %2 ms run").arg(waitedMs).arg(modelMs)));
}

void CliTest::interruptStopsThePump_data()
{
    QTest::addColumn<QString>("launcher"); // "nohup", "pipe" (into head -n1) or none
    QTest::addColumn<QStringList>("prepare");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("signalNumbers"); // each after 2 s that the tool kept going
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("stops"); // else the pump is left running
    const QStringList run{"run", "--rate", "10", "--wait"};
    const QStringList watch{"watch", "--interval", "0.2"};
    QTest::newRow("SIGINT in run --wait")
        << "" << QStringList() << run << QList<int>{SIGINT} << 130 << true;
    QTest::newRow("SIGQUIT in dispense --wait")
        << "" << QStringList() << QStringList{"dispense", "--volume", "5", "--rate", "10", "--wait"}
        << QList<int>{SIGQUIT} << 131 << true;
    QTest::newRow("run --wait after a one-second dispense runs on")
        << "" << QStringList{"dispense", "--volume", "0.5", "--rate", "60", "--wait"} << run
        << QList<int>{SIGINT} << 130 << true;
    QTest::newRow("SIGHUP under nohup")
        << "nohup" << QStringList() << run << QList<int>{SIGHUP, SIGINT} << 130 << true;
    QTest::newRow("--wait into head -n1")
        << "pipe" << QStringList() << QStringList{"run", "--rate", "10", "--for", "30s", "--wait"}
        << QList<int>() << 141 << true;
    QTest::newRow("SIGTERM in watch")
        << "" << QStringList{"start"} << watch << QList<int>{SIGTERM} << 143 << false;
    QTest::newRow("SIGINT in watch")
        << "" << QStringList{"start"} << watch << QList<int>{SIGINT} << 130 << false;
}

void CliTest::interruptStopsThePump()
{
    QFETCH(QString, launcher);
    QFETCH(QStringList, prepare);
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, signalNumbers);
    QFETCH(int, exitCode);
    QFETCH(bool, stops);
    if (!prepare.isEmpty())
        QCOMPARE(runCli(sim.devicePath(), prepare).exitCode, 0);
    const QString stop = QStringLiteral("01KY0");
    const int stopsBefore = sim.received().count(stop);
    const int before = sim.received().size();
    QProcess p;
    p.setProcessEnvironment(cliEnvironment(sim.devicePath()));
    if (launcher == QLatin1String("pipe"))
        p.start(QStringLiteral("bash"),
                QStringList{"-c", "set -o pipefail; \"$0\" \"$@\" 2>&1 | head -n1",
                            DOSETTA_CLI_PROGRAM} +
                    arguments);
    else if (launcher == QLatin1String("nohup"))
        p.start(QStringLiteral("nohup"), QStringList{DOSETTA_CLI_PROGRAM} + arguments);
    else
        p.start(QStringLiteral(DOSETTA_CLI_PROGRAM), arguments);
    QVERIFY(p.waitForStarted());
    // Polls are coming: the tool is waiting on the pump.
    QVERIFY(sim.waitForReceived(before + 8, 10000));
    for (int signalNumber : signalNumbers) {
        QTest::qWait(2000);
        // What the tool said, should it have ended before the signal.
        QVERIFY2(p.state() == QProcess::Running,
                 qPrintable(QStringLiteral("ended with %1: %2 %3")
                                .arg(p.exitCode())
                                .arg(QString::fromLocal8Bit(p.readAllStandardOutput()),
                                     QString::fromLocal8Bit(p.readAllStandardError()))));
        QVERIFY(signalChild(p, signalNumber));
    }
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), exitCode);
    if (stops) {
        QVERIFY(logShows(sim, stop, stopsBefore));
        const QStringList sent = sim.received().mid(before);
        QCOMPARE(sent.filter(QRegularExpression(QStringLiteral("^01KY"))).constLast(), stop);
    } else {
        const Run status = runCli(sim.devicePath(), {"get", "status"});
        QVERIFY2(status.out.contains("Motor in Motion"), status.out.constData());
        QCOMPARE(runCli(sim.devicePath(), {"stop"}).exitCode, 0);
    }
}

void CliTest::faultsDuringARun_data()
{
    QTest::addColumn<QStringList>("simOptions");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("frames"); // received before the signal and the fault
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QByteArray>("fault"); // on the simulator's standard input
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("keys"); // every KY frame the pump received
    QTest::addColumn<QStringList>("said"); // in the --json failure object, whatever came after
    // The silent pump holds the tool in its first setting until the signal is on its way.
    QTest::newRow("Ctrl-C while the settings go out")
        << QStringList{"--silent"}
        << QStringList{"--timeout", "20000", "dispense", "--volume", "1", "--rate", "10"} << 1
        << SIGINT << QByteArray("silent off") << 130 << QStringList{"01KY0"} << QStringList();
    // The link leads to the new device, where the Stop arrives.
    QTest::newRow("hang-up during --wait")
        << QStringList{"--link"} << QStringList{"run", "--rate", "10", "--wait"} << 8 << 0
        << QByteArray("hangup 0") << 3 << QStringList{"01KY1", "01KY0"} << QStringList();
    QTest::newRow("pump error during --wait: its flags, not only the Stop")
        << QStringList() << QStringList{"--json", "run", "--rate", "20", "--for", "3", "--wait"}
        << 10 << 0 << QByteArray("error encoder on") << 1 << QStringList{"01KY1", "01KY0"}
        << QStringList{R"("errors":["No encoder signal"])",
                       "stopped with an error: No encoder signal"};
}

void CliTest::faultsDuringARun()
{
    QFETCH(QStringList, simOptions);
    QFETCH(QStringList, arguments);
    QFETCH(int, frames);
    QFETCH(int, signalNumber);
    QFETCH(QByteArray, fault);
    QFETCH(int, exitCode);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, said);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("pump"));
    if (simOptions.contains(QStringLiteral("--link")))
        simOptions << link;
    QProcess pump; // standard input stays open for the fault
    pump.start(QStringLiteral(FLUXO_SIM_PROGRAM),
               QStringList{"--address", "1", "--log"} + simOptions);
    QByteArray log;
    const auto received = [&] {
        log += pump.readAllStandardError();
        return SimLog::received(SimLog::parse(log));
    };
    QVERIFY(pump.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(pump.readLine()).trimmed();
    QProcess p;
    p.setProcessEnvironment(cliEnvironment(simOptions.contains(link) ? link : device));
    p.start(QStringLiteral(DOSETTA_CLI_PROGRAM), arguments);
    QVERIFY(p.waitForStarted());
    // A fault meant for the run comes once the pump took its start: polls go out before it.
    const bool duringRun = keys.constFirst() == QLatin1String("01KY1");
    QTRY_VERIFY_WITH_TIMEOUT(received().size() >= frames &&
                                 (!duringRun || received().contains(QStringLiteral("01KY1"))),
                             10000);
    if (signalNumber != 0)
        QVERIFY(signalChild(p, signalNumber));
    pump.write(fault + '\n');
    QVERIFY(pump.waitForBytesWritten(5000));
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), exitCode);
    const QByteArray failure = p.readAllStandardOutput().trimmed().split('\n').constLast();
    for (const QString &text : said)
        QVERIFY2(failure.contains(text.toUtf8()), failure.constData());
    // A Stop whose acknowledgement was missed goes out again.
    const auto keysSent = [&] {
        QStringList sent = received().filter(QRegularExpression(QStringLiteral("^01KY")));
        sent.removeDuplicates();
        return sent;
    };
    QTRY_COMPARE(keysSent(), keys);
    QCOMPARE(received().constLast(), QStringLiteral("01KY0"));
    pump.terminate();
    QVERIFY(pump.waitForFinished(5000));
}

void CliTest::runEndsWithThePumpsCount_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("signalNumber"); // once the pump took the start; 0 for none
    QTest::addColumn<QByteArray>("fault"); // on the simulator's standard input, likewise
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("cause"); // in the result and the journal's run-end
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("pump error in dispense --wait")
        << QStringList{"--json", "dispense", "--volume", "5", "--rate", "20", "--wait"} << 0
        << QByteArray("error encoder on") << 1 << "pump-error" << QStringList{"No encoder signal"};
    QTest::newRow("SIGINT in run --for --wait")
        << QStringList{"--json", "run", "--rate", "20", "--for", "60s", "--wait"} << SIGINT
        << QByteArray() << 130 << "outside-stop" << QStringList();
    QTest::newRow("run without --wait is left to the pump")
        << QStringList{"--json", "run", "--rate", "10"} << 0 << QByteArray() << 0 << "released"
        << QStringList();
    QTest::newRow("prime is left to the pump")
        << QStringList{"--json", "prime"} << 0 << QByteArray() << 0 << "released" << QStringList();
}

void CliTest::runEndsWithThePumpsCount()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, signalNumber);
    QFETCH(QByteArray, fault);
    QFETCH(int, exitCode);
    QFETCH(QString, cause);
    QFETCH(QStringList, errors);
    QTemporaryDir dir;
    QProcess pump; // standard input stays open for the fault
    pump.start(QStringLiteral(FLUXO_SIM_PROGRAM), {"--address", "1", "--log"});
    QByteArray log;
    const auto received = [&] {
        log += pump.readAllStandardError();
        return SimLog::received(SimLog::parse(log));
    };
    QVERIFY(pump.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(pump.readLine()).trimmed();
    QProcessEnvironment env = cliEnvironment(device);
    env.insert(QStringLiteral("DOSETTA_JOURNAL"), dir.filePath(QStringLiteral("journal.sqlite")));
    const auto cli = [&](const QStringList &more) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(DOSETTA_CLI_PROGRAM), more);
        p.waitForFinished(20000);
        return p.readAllStandardOutput();
    };
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DOSETTA_CLI_PROGRAM), arguments);
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(received().contains(QStringLiteral("01KY1")) ||
                                 received().contains(QStringLiteral("01KY2")),
                             10000);
    if (signalNumber != 0 || !fault.isEmpty()) {
        QTest::qWait(1500); // something counted
        if (signalNumber != 0)
            QVERIFY(signalChild(p, signalNumber));
        else
            QVERIFY(pump.write(fault + '\n') > 0 && pump.waitForBytesWritten(5000));
    }
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), exitCode);
    const QJsonObject said =
        QJsonDocument::fromJson(p.readAllStandardOutput().trimmed().split('\n').constLast())
            .object();
    QJsonObject end;
    for (const QByteArray &line : cli({"--json", "journal", "--kind", "run-end"}).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.isEmpty())
            end = o;
    }
    QCOMPARE(end.value("origin").toString(), QStringLiteral("cli"));
    const QJsonObject fields = end.value("fields").toObject();
    QCOMPARE(fields.value("cause").toString(), cause);
    if (cause == QLatin1String("released")) {
        QCOMPARE(said.value("run_id").toString(), end.value("run_id").toString());
        QVERIFY(cli({"get", "status"}).contains("Motor in Motion"));
        cli({"stop"});
    } else {
        QCOMPARE(said.value("cause").toString(), cause);
        QCOMPARE(said.value("errors").toVariant().toStringList(), errors);
        // The pump's own count after the end, in the result and the journal alike.
        const double count = cli({"get", "volume-delivered"}).trimmed().toDouble();
        QVERIFY(count > 0);
        QCOMPARE(said.value("volume_delivered_ml").toDouble(), count);
        QCOMPARE(fields.value("volume_ml").toDouble(), count);
    }
    pump.terminate();
    QVERIFY(pump.waitForFinished(5000));
}

void CliTest::dispenseWithoutRateAtFullFlow()
{
    // A dispense time left on the pump would stretch the dose to 30 s.
    QCOMPARE(runCli(sim.devicePath(), {"set", "dispense-time", "30s"}).exitCode, 0);
    const Run r = runCli(sim.devicePath(), {"--json", "dispense", "--volume", "2", "--wait"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(o.value("volume_delivered_ml").toDouble(), 2.0);
    // 2 ml at the FLUXO 10's full flow of 100 ml/min.
    QCOMPARE(o.value("time_elapsed_s").toDouble(), 1.2);
}

void CliTest::signalActionsComeBack()
{
    // SIGHUP ignored as under nohup, SIGQUIT with a handler of its own.
    struct sigaction ignore
    {
    }, mine{}, hup{}, quit{}, now{};
    ignore.sa_handler = SIG_IGN;
    mine.sa_handler = [](int) {
    };
    ::sigaction(SIGHUP, &ignore, &hup);
    ::sigaction(SIGQUIT, &mine, &quit);
    {
        const TerminationSignals termination({SIGHUP, SIGQUIT});
        ::sigaction(SIGQUIT, nullptr, &now);
        QVERIFY(now.sa_handler != mine.sa_handler);
    }
    ::sigaction(SIGQUIT, &quit, &now);
    QVERIFY(now.sa_handler == mine.sa_handler);
    ::sigaction(SIGHUP, &hup, &now);
    QVERIFY(now.sa_handler == SIG_IGN);
}

void CliTest::portProblems_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QByteArray>("cause");
    QTest::newRow("missing") << "missing" << QByteArray("not present");
    QTest::newRow("not readable") << "unreadable" << QByteArray("permission denied");
    QTest::newRow("held by another") << "busy" << QByteArray("in use by");
}

void CliTest::portProblems()
{
    QFETCH(QString, situation);
    QFETCH(QByteArray, cause);
    Run r;
    if (situation == QLatin1String("missing")) {
        r = runCli(QStringLiteral("/dev/dosetta-no-such-port"), {"status"});
    } else if (situation == QLatin1String("busy")) {
        QProcess holder;
        holder.setProcessEnvironment(cliEnvironment(sim.devicePath()));
        holder.start(QStringLiteral(DOSETTA_CLI_PROGRAM), {"watch", "--interval", "1"});
        // The first sample printed: the holder has the port.
        QVERIFY(holder.waitForReadyRead(10000));
        r = runCli(sim.devicePath(), {"status"});
        holder.terminate();
        QVERIFY(holder.waitForFinished(10000));
    } else {
        SimProcess other(1);
        QVERIFY(other.start());
        if (::geteuid() == 0) {
            // Root opens anything: the tool runs as nobody, from a copy it may execute.
            QTemporaryDir dir;
            QVERIFY(::chmod(dir.path().toLocal8Bit().constData(), 0755) == 0);
            const QString copy = dir.filePath(QStringLiteral("dosetta-cli"));
            QVERIFY(QFile::copy(QStringLiteral(DOSETTA_CLI_PROGRAM), copy));
            QVERIFY(::chmod(other.devicePath().toLocal8Bit().constData(), 0600) == 0);
            r = runCli(other.devicePath(),
                       {"--reuid=65534", "--regid=65534", "--clear-groups", "--", copy, "status"},
                       QStringLiteral("setpriv"));
        } else {
            QVERIFY(::chmod(other.devicePath().toLocal8Bit().constData(), 0) == 0);
            r = runCli(other.devicePath(), {"status"});
        }
    }
    QCOMPARE(r.exitCode, 3);
    QVERIFY2(r.err.contains(cause), r.err.constData());
}

void CliTest::watchWritesCsv()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.csv"));
    const Run r =
        runCli(sim.devicePath(), {"watch", "--count", "3", "--interval", "0.2", "--csv", path});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.count('\n'), 3);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 5); // header, three rows, nothing after the last line end
    QCOMPARE(lines.first() + '\n', CsvFormat::header());
    for (int i = 1; i <= 3; ++i)
        QVERIFY2(lines.at(i).contains(",connected,"), lines.at(i).constData());
}

// A script that reads standard output alone: a failure is one object there, and "--csv -" puts
// the rows there with nothing between them.
void CliTest::jsonFailuresAndCsvToStandardOutput()
{
    Run r = runCli(sim.devicePath(), {"set", "flow-rate", "150", "--json"});
    QCOMPARE(r.exitCode, 2);
    QJsonObject o = QJsonDocument::fromJson(r.out.trimmed()).object();
    QCOMPARE(o.value("ok").toBool(true), false);
    QCOMPARE(o.value("exit").toInt(), 2);
    QVERIFY2(!o.value("error").toString().isEmpty(), r.out.constData());

    r = runCli(sim.devicePath(), {"--json", "gett", "flow-rate"});
    QCOMPARE(r.exitCode, 2);
    o = QJsonDocument::fromJson(r.out.trimmed()).object();
    QVERIFY2(o.value("error").toString().contains("did you mean \"get\"?"), r.out.constData());

    // An output name read from JSON leads back to its key.
    r = runCli(sim.devicePath(), {"--json", "get", "flow_rate_ml_min"});
    QCOMPARE(r.exitCode, 2);
    o = QJsonDocument::fromJson(r.out.trimmed()).object();
    QVERIFY2(o.value("error").toString().contains("did you mean \"flow-rate\"?"),
             r.out.constData());

    r = runCli(sim.devicePath(), {"watch", "--count", "2", "--interval", "0.2", "--csv", "-"});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.out.split('\n');
    QVERIFY2(lines.size() >= 3, r.out.constData());
    QVERIFY(lines.at(0).startsWith("time_utc,elapsed_s,link"));
    QVERIFY2(lines.at(1).contains(",connected,") && lines.at(2).contains(",connected,"),
             r.out.constData());
    QVERIFY(!QFile::exists(QStringLiteral("-")));
}

// One name and one type per value, whatever it holds; the rows run in order on the same pump and
// leave cycles off.
void CliTest::outputNamesAndTypes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("json"); // the whole of standard output
    QTest::newRow("endless cycles") << QStringList{"set", "cycles", "inf"}
                                    << QByteArray(R"({"cycles":1000,"cycles_mode":"endless"})");
    QTest::newRow("counted cycles")
        << QStringList{"set", "cycles", "5"} << QByteArray(R"({"cycles":5,"cycles_mode":"count"})");
    QTest::newRow("cycles off") << QStringList{"set", "cycles", "off"}
                                << QByteArray(R"({"cycles":0,"cycles_mode":"off"})");
    QTest::newRow("a duration in seconds")
        << QStringList{"set", "break-time", "1m30s"} << QByteArray(R"({"break_time_s":90})");
    QTest::newRow("read back by get") << QStringList{"get", "cycles", "break-time"}
                                      << QByteArray(R"({"break_time_s":90,"cycles":0,)"
                                                    R"("cycles_mode":"off"})");
    QTest::newRow("a key that cannot be read: the value sent, as a number")
        << QStringList{"set", "calibration-volume", "50.5"}
        << QByteArray(R"({"calibration_volume_ml":50.5})");
    QTest::newRow("a switch") << QStringList{"set", "autostart", "on"}
                              << QByteArray(R"({"autostart":true})");
}

void CliTest::outputNamesAndTypes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, json);
    const Run r = runCli(sim.devicePath(), QStringList{"--json"} + arguments);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), json);
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"

void CliTest::limitsFollowTheModel_data()
{
    QTest::addColumn<bool>("fluxo02");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("frame"); // the rate's frame, sent only when taken
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("error"); // part of it

    const QString limit = QStringLiteral("20.0 ml/min on a FLUXO 02");
    QTest::newRow("FLUXO 02 above its limit")
        << true << QStringList{"set", "flow-rate", "50"} << "01RV00050000" << 2 << limit;
    QTest::newRow("FLUXO 02 at its limit")
        << true << QStringList{"set", "flow-rate", "20"} << "01RV00020000" << 0 << "";
    QTest::newRow("FLUXO 10 above the smaller's limit")
        << false << QStringList{"set", "flow-rate", "50"} << "01RV00050000" << 0 << "";
    QTest::newRow("FLUXO 02 beyond every limit")
        << true << QStringList{"set", "flow-rate", "150"} << "01RV00150000" << 2 << "100.0 ml/min";
}

void CliTest::limitsFollowTheModel()
{
    QFETCH(bool, fluxo02);
    QFETCH(QStringList, arguments);
    QFETCH(QString, frame);
    QFETCH(int, exit);
    QFETCH(QString, error);
    SimProcess &pump = fluxo02 ? small : sim;
    const int seen = pump.received().count(frame);
    const Run r = runCli(pump.devicePath(), arguments);
    QCOMPARE(r.exitCode, exit);
    QVERIFY2(QString::fromUtf8(r.err).contains(error), r.err.constData());
    if (exit == 0)
        QVERIFY(logShows(pump, frame, seen));
    else
        QCOMPARE(pump.received().count(frame), seen);
    // The limits the help gives name the smaller pump's too.
    QVERIFY(runCli(pump.devicePath(), {"help", "keys"})
                .out.contains("on a FLUXO 02: 1.0 - 20.0 ml/min"));
}

void CliTest::watchAtAnIntervalThePumpAllows_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<bool>("widened");
    // The simulator answers a sample's queries in well over 0.2 s and well under 2 s.
    QTest::newRow("faster than the pump answers") << "0.2" << true;
    QTest::newRow("slower than it answers") << "2" << false;
}

// Either the interval asked for, or the one the tool says it uses instead: samples come at it.
void CliTest::watchAtAnIntervalThePumpAllows()
{
    QFETCH(QString, interval);
    QFETCH(bool, widened);
    const int count = 4;
    const Run r = runCli(sim.devicePath(), {"--json", "watch", "--count", QString::number(count),
                                            "--interval", interval});
    QCOMPARE(r.exitCode, 0);
    const QRegularExpressionMatch said =
        QRegularExpression(QStringLiteral("sampling every ([0-9.]+) s, not ([0-9.]+) s"))
            .match(QString::fromUtf8(r.err));
    QCOMPARE(said.hasMatch(), widened);
    const double expected = widened ? said.captured(1).toDouble() : interval.toDouble();
    if (widened) {
        QCOMPARE(said.captured(2), interval);
        QVERIFY(expected > interval.toDouble());
    }
    QList<double> times;
    for (const QByteArray &line : r.out.split('\n')) {
        if (!line.trimmed().isEmpty())
            times << QJsonDocument::fromJson(line).object().value("elapsed_s").toDouble(-1);
    }
    QCOMPARE(times.size(), count);
    // The mean gap: one sample slower than the next does not move it.
    const double mean = (times.last() - times.first()) / (count - 1);
    QVERIFY2(mean >= expected - 0.1 && mean <= expected + 0.5,
             qPrintable(QStringLiteral("%1 s apart, not %2 s").arg(mean).arg(expected)));
}
