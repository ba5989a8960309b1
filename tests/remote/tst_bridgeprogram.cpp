// Dosing programs over MQTT: what program/run and the program words of cmd let through, and
// dosetta-cli serve running a program on the simulated pump (20 times its speed) through a real
// mosquitto, as the tool runs it.

#include "CliTool.h"
#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "MqttWatch.h"
#include "SimProcess.h"

#include "journal/JournalEntry.h"
#include "remote/BridgeOptions.h"
#include "remote/RemoteRequest.h"
#include "remote/TopicNames.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

using namespace MqttRig;
using Action = RemoteRequest::ProgramAction;

QByteArray program(const QByteArray &name, const QByteArray &steps)
{
    return R"({"format": "dosetta-program/1", "name": ")" + name + R"(", "steps": [)" + steps +
           "]}";
}

const QByteArray Short = program("Short", R"({"dose": {"volume_ml": 0.5, "rate_ml_min": 30}},
                        {"run": {"rate_ml_min": 10, "for_s": 20}})");
// Thirty seconds at the simulator's speed: long enough to be stopped.
const QByteArray Long = program("Long", R"({"run": {"rate_ml_min": 10, "for_s": 600}})");

// What the pump was told to do, without the polls.
QStringList commands(const QStringList &received)
{
    QStringList sent;
    for (const QString &frame : received) {
        if (!frame.startsWith(QLatin1String("01?")))
            sent << frame;
    }
    return sent;
}

} // namespace

class BridgeProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void initTestCase();
    void cleanupTestCase();
    void refusedFileSendsNothing_data();
    void refusedFileSendsNothing();
    void stopMidStepStopsProgramAndPump();
    void stoppedRampLeavesNothingToTheNext();
    void runsToDoneWithTheToolsFrames();
    void cmdRunsAndRefusalsAreJournaled_data();
    void cmdRunsAndRefusalsAreJournaled();

private:
    // Publishes a program file; the result that came back for it.
    QJsonObject send(const QByteArray &file, const QString &correlation, bool retained = false);
    // The first message since `since` on topic whose key holds value.
    QJsonObject waitFor(const char *topic, const char *key, const char *value, int since,
                        const QString &correlation = QString(), int timeoutMs = 20000);

    // The bridge's journal, read back with the tool.
    QTemporaryDir journalDir;
    MosquittoBroker broker;
    SimProcess sim{1, {"--speed", "20"}};
    std::unique_ptr<QProcess> bridge;
    std::unique_ptr<MqttWatch> watcher;
};

// Checked before the runner hears of it, in the order of every other request.
void BridgeProgramTest::requests_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("control");
    QTest::addColumn<QString>("error"); // a part of it; empty when it goes through
    QTest::addColumn<int>("action");

    QStringList twelve;
    for (int i = 0; i < 12; ++i)
        twelve << QStringLiteral(R"({"wait": {"for_s": -%1}})").arg(i + 1);

    // Without the permission a word is not even looked up: every word gets the same answer.
    QTest::newRow("program-pause without control") << "cmd" << QByteArray("program-pause") << false
                                                   << "control not allowed" << int(Action::None);
    QTest::newRow("program-continue as a JSON command")
        << "cmd" << QByteArray(R"({"command":"program-continue"})") << true << ""
        << int(Action::Continue);
    QTest::newRow("program-stop") << "cmd" << QByteArray(" PROGRAM-STOP ") << true << ""
                                  << int(Action::Stop);
    QTest::newRow("a file without control")
        << "program/run" << Short << false << "control not allowed" << int(Action::Run);
    // Goes through: far over the other requests' limit, well within the file's.
    QTest::newRow("a file of 60 KiB")
        << "program/run" << Short + QByteArray(60 * 1024, ' ') << true << "" << int(Action::Run);
    QTest::newRow("a file over 64 KiB") << "program/run" << Short + QByteArray(64 * 1024, ' ')
                                        << true << "longer than 65536 bytes" << int(Action::Run);
    QTest::newRow("twelve errors: three named, the rest counted")
        << "program/run" << program("Bad", twelve.join(QLatin1Char(',')).toUtf8()) << true
        << "the program has 12 errors: steps[0].wait.for_s" << int(Action::Run);
    QTest::newRow("not a program") << "program/run" << QByteArray("start") << true
                                   << "the program has 1 error" << int(Action::Run);
}

void BridgeProgramTest::requests()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(bool, control);
    QFETCH(QString, error);
    QFETCH(int, action);
    const TopicNames names(QStringLiteral("dosetta"), QStringLiteral("p1"));
    BridgeOptions options;
    options.allowControl = control;
    MqttClient::Message m;
    m.topic = QStringLiteral("dosetta/p1/") + topic;
    m.payload = payload;
    const RemoteRequest r = RemoteRequest::read(names, m, options);
    QCOMPARE(int(r.programAction), action);
    QCOMPARE(r.command, BusinessLogic::CommandSpezifier::Base);
    if (error.isEmpty()) {
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        if (r.programAction == Action::Run)
            QCOMPARE(r.program.name, QStringLiteral("Short"));
        return;
    }
    QVERIFY2(r.error.contains(error), qPrintable(r.error));
    if (r.error.startsWith(QLatin1String("the program has 12")))
        QVERIFY2(r.error.endsWith(QLatin1String("; and 9 more")) && r.error.count(';') == 3,
                 qPrintable(r.error));
    QVERIFY2(r.error.size() <= 500, qPrintable(r.error));
    QVERIFY(r.program.steps.empty());
}

void BridgeProgramTest::initTestCase()
{
    QVERIFY(broker.start());
    QVERIFY(sim.start());
    watcher = std::make_unique<MqttWatch>(broker.port(), QStringLiteral("dosetta/#"));
    qputenv("DOSETTA_JOURNAL", journalDir.filePath(QStringLiteral("journal.sqlite")).toUtf8());
    bridge = startBridge(sim, {"--broker", broker.url(), "--id", "p1", "--allow-control"});
    QVERIFY(
        watcher->waitForText(QStringLiteral("dosetta/p1/availability"), QStringLiteral("online")));
    QVERIFY(watcher->waitForText(QStringLiteral("dosetta/p1/pump"), QStringLiteral("online")));
}

void BridgeProgramTest::cleanupTestCase()
{
    if (bridge) {
        bridge->terminate();
        QVERIFY(bridge->waitForFinished(5000));
        QCOMPARE(bridge->exitCode(), 0);
    }
}

QJsonObject BridgeProgramTest::send(const QByteArray &file, const QString &correlation,
                                    bool retained)
{
    const int since = watcher->lines().size();
    if (!publish(broker.port(), QStringLiteral("dosetta/p1/program/run"), file, retained,
                 correlation))
        return QJsonObject();
    return watcher->waitForObject(
        QStringLiteral("dosetta/p1/result"), [](const QJsonObject &) { return true; }, correlation,
        since);
}

void BridgeProgramTest::refusedFileSendsNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("retained");
    QTest::addColumn<QString>("error"); // a part of the result's
    QTest::newRow("rate above the limit") << program("Bad", R"({"wait": {"for_s": 1}},
                             {"dose": {"volume_ml": 1, "rate_ml_min": 150}})")
                                          << false << "steps[1].dose.rate_ml_min: 150 is above";
    QTest::newRow("retained") << Short << true << "retained requests are ignored";
}

void BridgeProgramTest::refusedFileSendsNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, retained);
    QFETCH(QString, error);
    const int before = sim.received().size();
    const QJsonObject result = send(file, QStringLiteral("refused"), retained);
    if (retained)
        publish(broker.port(), QStringLiteral("dosetta/p1/program/run"), QByteArray(), true);
    QCOMPARE(result.value("ok").toBool(true), false);
    QVERIFY2(result.value("error").toString().contains(error),
             qPrintable(result.value("error").toString()));
    // A poll round later still nothing but polls.
    QVERIFY(sim.waitForReceived(before + 10, 5000));
    QCOMPARE(commands(sim.received().mid(before)), QStringList());
}

QJsonObject BridgeProgramTest::waitFor(const char *topic, const char *key, const char *value,
                                       int since, const QString &correlation, int timeoutMs)
{
    return watcher->waitForObject(
        QStringLiteral("dosetta/p1/") + QLatin1String(topic),
        [key, value](const QJsonObject &o) {
            return !key || o.value(QLatin1String(key)).toString() == QLatin1String(value);
        },
        correlation, since, timeoutMs);
}

// The plain cmd stop, as any client sends it, ends the program too.
void BridgeProgramTest::stopMidStepStopsProgramAndPump()
{
    const int since = watcher->lines().size();
    const int start = sim.received().size();
    const std::size_t logged = sim.log().size();
    QCOMPARE(send(Long, QStringLiteral("long")).value("ok").toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().mid(start).contains(QStringLiteral("01KY1")), 10000);
    const int before = sim.received().size();
    QVERIFY(publish(broker.port(), QStringLiteral("dosetta/p1/cmd"), "stop"));
    const QJsonObject stopped = waitFor("program", "state", "stopped", since);
    QCOMPARE(stopped.value("name").toString(), QStringLiteral("Long"));
    // What the pump counted after the Stop, to the thousandth.
    QTRY_COMPARE(stopped.value("volume_ml").toDouble(),
                 SimLog::runsTotal(sim.log(), logged) / 1000.0);
    QVERIFY(!waitFor("state", "run_state", "stopped", since).isEmpty());
    QStringList keys = commands(sim.received().mid(before)).filter(QStringLiteral("KY"));
    keys.removeDuplicates();
    QCOMPARE(keys, QStringList{"01KY0"});
    // Nothing to stop any more: the program word says so.
    QVERIFY(publish(broker.port(), QStringLiteral("dosetta/p1/cmd"), "program-stop", false,
                    QStringLiteral("again")));
    QCOMPARE(waitFor("result", nullptr, nullptr, since, QStringLiteral("again"))
                 .value("error")
                 .toString(),
             QStringLiteral("no program runs"));
}

// A ramp stopped in its second run leaves nothing of its plan to the next program's total.
void BridgeProgramTest::stoppedRampLeavesNothingToTheNext()
{
    // Two runs of a minute: three seconds each at the simulator's speed.
    const QByteArray ramp = program(
        "Ramp", R"({"ramp": {"from_ml_min": 10, "to_ml_min": 20, "for_s": 120, "steps": 2}})");
    int since = watcher->lines().size();
    const int start = sim.received().size();
    QCOMPARE(send(ramp, QStringLiteral("ramp")).value("ok").toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().mid(start).count(QStringLiteral("01KY1")) >= 2, 15000);
    QVERIFY(publish(broker.port(), QStringLiteral("dosetta/p1/cmd"), "stop"));
    QVERIFY(!waitFor("program", "state", "stopped", since).isEmpty());

    since = watcher->lines().size();
    const std::size_t logged = sim.log().size();
    QCOMPARE(send(program("Next", R"({"dose": {"volume_ml": 1, "rate_ml_min": 30}})"),
                  QStringLiteral("next"))
                 .value("ok")
                 .toBool(),
             true);
    const QJsonObject done = waitFor("program", "state", "done", since, QString(), 20000);
    QCOMPARE(done.value("name").toString(), QStringLiteral("Next"));
    QTRY_COMPARE(done.value("volume_ml").toDouble(), SimLog::runsTotal(sim.log(), logged) / 1000.0);
}

// The window, the tool and the network share one runner: the same file makes the same frames.
void BridgeProgramTest::runsToDoneWithTheToolsFrames()
{
    const int before = sim.received().size();
    const int since = watcher->lines().size();
    QCOMPARE(send(Short, QStringLiteral("short")).value("answer").toString(),
             QStringLiteral("started"));
    QCOMPARE(waitFor("program", "state", "running", since).value("name").toString(),
             QStringLiteral("Short"));
    const QJsonObject done = waitFor("program", "state", "done", since);
    QCOMPARE(done.value("position").toInt(), 2);
    QCOMPARE(done.value("progress").toDouble(), 1.0);
    QCOMPARE(done.value("total").toInt(), 2);
    const QStringList overMqtt = commands(sim.received().mid(before));

    SimProcess twin(1, {"--speed", "20"});
    QVERIFY(twin.start());
    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath(QStringLiteral("short.json")), Short);
    QVERIFY(!file.isEmpty());
    QProcess tool;
    startCli(tool, twin.devicePath(), {"program", "run", file});
    QVERIFY(tool.waitForFinished(20000));
    QCOMPARE(tool.exitCode(), 0);
    QTRY_COMPARE(commands(twin.received()), overMqtt);
    QVERIFY2(overMqtt.filter(QStringLiteral("KY1")).size() == 2, qPrintable(overMqtt.join(' ')));
}

void BridgeProgramTest::cmdRunsAndRefusalsAreJournaled_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("stop");       // a plain cmd stop once the pump took the start
    QTest::addColumn<QString>("outcome"); // the program's end state; empty: refused
    QTest::addColumn<QString>("cause");   // the end's cause, or the refusal's reason (a part)
    QTest::newRow("dose to its end")
        << "cmd" << QByteArray(R"({"command":"dose","volume":0.5})") << false << "done"
        << "done";
    QTest::newRow("run stopped by a client")
        << "cmd" << QByteArray(R"({"command":"run","rate":10,"time":"10m"})") << true << "stopped"
        << "outside-stop";
    QTest::newRow("prime until a client's stop")
        << "cmd" << QByteArray("prime") << true << "stopped"
        << "outside-stop";
    QTest::newRow("setting without permission") << "set/address" << QByteArray("7") << false << ""
                                                << "configuration not allowed";
    QTest::newRow("dose over the limit")
        << "cmd" << QByteArray(R"({"command":"dose","volume":5000})") << false << ""
        << "volume";
}

// A JSON dose or run is the runner's, under the client's origin; refusals are journaled too,
// and every entry goes out on the journal topic as the tool reads it from the file.
void BridgeProgramTest::cmdRunsAndRefusalsAreJournaled()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(bool, stop);
    QFETCH(QString, outcome);
    QFETCH(QString, cause);
    const QString correlation = QString::fromLatin1(QTest::currentDataTag()).left(30);
    const int since = watcher->lines().size();
    const std::size_t logged = sim.log().size();
    QVERIFY(
        publish(broker.port(), QStringLiteral("dosetta/p1/") + topic, payload, false, correlation));
    const QJsonObject result = waitFor("result", nullptr, nullptr, since, correlation);
    QCOMPARE(result.value("ok").toBool(), !outcome.isEmpty());
    const auto entry = [&](const char *kind) {
        return watcher->waitForObject(
            QStringLiteral("dosetta/p1/journal"),
            [kind, &correlation](const QJsonObject &o) {
                return o.value("kind").toString() == QLatin1String(kind) &&
                       o.value("fields").toObject().value("request").toString() == correlation;
            },
            QString(), since);
    };
    QJsonObject journaled;
    if (outcome.isEmpty()) {
        QVERIFY2(result.value("error").toString().contains(cause),
                 qPrintable(result.value("error").toString()));
        journaled = entry(JournalEntry::Kind::Refused);
        QVERIFY2(journaled.value("fields").toObject().value("reason").toString().contains(cause),
                 QJsonDocument(journaled).toJson().constData());
        QCOMPARE(journaled.value("fields").toObject().value("topic").toString(),
                 QStringLiteral("dosetta/p1/") + topic);
    } else {
        QCOMPARE(result.value("answer").toString(), QStringLiteral("started"));
        if (stop)
            QVERIFY(publish(broker.port(), QStringLiteral("dosetta/p1/cmd"), "stop"));
        const QJsonObject end = waitFor("program", "state", outcome.toLatin1().constData(), since);
        QCOMPARE(end.value("cause").toString(), cause);
        QCOMPARE(end.value("run_id").toString(), result.value("run_id").toString());
        // The pump's own count after the end, to the thousandth.
        QTRY_COMPARE(end.value("volume_ml").toDouble(),
                     SimLog::runsTotal(sim.log(), logged) / 1000.0);
        journaled = entry(JournalEntry::Kind::RunStart);
        QCOMPARE(journaled.value("run_id").toString(), result.value("run_id").toString());
    }
    QCOMPARE(journaled.value("origin").toString(), QStringLiteral("bridge"));
    QCOMPARE(journaled.value("who").toString(), QStringLiteral("p1"));
    // The same entry in the file, as the tool lists it.
    QProcess tool;
    startCli(tool, sim.devicePath(), {"--json", "journal"});
    QVERIFY(tool.waitForFinished(10000));
    bool found = false;
    for (const QByteArray &line : tool.readAllStandardOutput().split('\n'))
        found = found ||
                QJsonDocument::fromJson(line).object().value("hash") == journaled.value("hash");
    QVERIFY2(found, journaled.value("hash").toString().toLatin1().constData());
}

QTEST_GUILESS_MAIN(BridgeProgramTest)
#include "tst_bridgeprogram.moc"
