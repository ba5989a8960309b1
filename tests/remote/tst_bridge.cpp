// dosetta-cli serve between the simulated pump and a real mosquitto broker, watched and driven by
// the broker's own clients: what it publishes, what reaches the pump, and how it meets a broker
// that goes away or wants a password.

#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "MqttWatch.h"
#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

using namespace MqttRig;

bool logShows(SimProcess &sim, const QString &frame, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!sim.received().contains(frame) && !deadline.hasExpired())
        QTest::qWait(20);
    return sim.received().contains(frame);
}

} // namespace

class BridgeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void toolAndStateAgree_data();
    void toolAndStateAgree();
    void stateFollowsARun();
    void homeAssistantFindsThePump_data();
    void homeAssistantFindsThePump();
    void setReachesThePumpWithItsCorrelation();
    void refusedValuesSendNothing_data();
    void refusedValuesSendNothing();
    void withoutControlNothingIsSent();
    void killedBridgeLeavesItsWill();
    void survivesTheBrokerGoingAway();
    void passwordBrokerRefusesWithoutOne();
    void tlsWithTheLabsAuthority();

private:
    MosquittoBroker broker;
    SimProcess sim{1};
    SimProcess twin{1}; // for the tool, which cannot share the bridge's port
    std::unique_ptr<QProcess> bridge;
    std::unique_ptr<MqttWatch> watcher;
};

void BridgeTest::initTestCase()
{
    QVERIFY(broker.start());
    QVERIFY(sim.start());
    QVERIFY(twin.start());
    watcher = std::make_unique<MqttWatch>(broker.port(), QStringLiteral("dosetta/#"));
    bridge = startBridge(
        sim, {"--broker", broker.url(), "--id", "p1", "--allow-control", "--ha-discovery"});
    QVERIFY(
        watcher->waitForText(QStringLiteral("dosetta/p1/availability"), QStringLiteral("online")));
}

void BridgeTest::cleanupTestCase()
{
    if (bridge) {
        bridge->terminate();
        QVERIFY(bridge->waitForFinished(5000));
        QCOMPARE(bridge->exitCode(), 0);
    }
}

// The tool's get and the bridge's state name a value alike and give it the same type and value,
// on two pumps fresh from power-on.
void BridgeTest::toolAndStateAgree_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type"); // QJsonValue::Type
    QTest::newRow("flow rate") << "flow-rate"
                               << "flow_rate_ml_min" << int(QJsonValue::Double);
    QTest::newRow("volume") << "volume"
                            << "volume_target_ml" << int(QJsonValue::Double);
    QTest::newRow("delivered") << "volume-delivered"
                               << "volume_delivered_ml" << int(QJsonValue::Double);
    QTest::newRow("clock") << "time-elapsed"
                           << "time_elapsed_s" << int(QJsonValue::Double);
    QTest::newRow("dispense time") << "dispense-time"
                                   << "dispense_time_s" << int(QJsonValue::Double);
    QTest::newRow("mode") << "mode"
                          << "mode" << int(QJsonValue::String);
    QTest::newRow("status flags") << "status"
                                  << "status" << int(QJsonValue::Array);
    QTest::newRow("error flags") << "errors"
                                 << "errors" << int(QJsonValue::Array);
}

void BridgeTest::toolAndStateAgree()
{
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(int, type);
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DOSETTA_PORT"), twin.devicePath());
    env.insert(QStringLiteral("DOSETTA_ADDRESS"), QStringLiteral("1"));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(DOSETTA_CLI_PROGRAM), {"--json", "get", key});
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);
    const QJsonObject got = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    QCOMPARE(got.keys(), QStringList{name});
    QCOMPARE(int(got.value(name).type()), type);
    // The poller reads the status groups one after the other: the state may take a few ticks to
    // show all of them.
    const QJsonObject state =
        watcher->waitForObject(QStringLiteral("dosetta/p1/state"), [&](const QJsonObject &o) {
            return o.value(name) == got.value(name);
        });
    QVERIFY2(
        !state.isEmpty(),
        qPrintable(QStringLiteral("no state with %1")
                       .arg(QString::fromUtf8(QJsonDocument(got).toJson(QJsonDocument::Compact)))));
}

void BridgeTest::stateFollowsARun()
{
    const QString state = QStringLiteral("dosetta/p1/state");
    const QJsonObject info =
        watcher->waitForObject(QStringLiteral("dosetta/p1/info"), [](const QJsonObject &o) {
            return o.value("address").toInt() == 1 && o.value("version").isString();
        });
    QVERIFY(!info.isEmpty());
    publish(broker.port(), QStringLiteral("dosetta/p1/cmd"), "start");
    double first = 0;
    QVERIFY(!watcher
                 ->waitForObject(state,
                                 [&first](const QJsonObject &o) {
                                     first = o.value("volume_delivered_ml").toDouble();
                                     return o.value("run_state").toString() ==
                                                QLatin1String("running") &&
                                            first > 0;
                                 })
                 .isEmpty());
    QVERIFY(!watcher
                 ->waitForObject(state,
                                 [first](const QJsonObject &o) {
                                     return o.value("volume_delivered_ml").toDouble() > first;
                                 })
                 .isEmpty());
    // A silent spell in the run: no flags and no run state, never the ones read before it; the
    // flags are heard again after it.
    const int since = watcher->lines().size();
    sim.control("silent on");
    const QJsonObject silent = watcher->waitForObject(
        state, [](const QJsonObject &o) { return o.value("link") == "disconnected"; }, {}, since);
    QVERIFY(silent.value("status").isNull() && silent.value("errors").isNull());
    QCOMPARE(silent.value("run_state").toString(), QStringLiteral("unknown"));
    sim.control("silent off");
    const auto heard = [](const QJsonObject &o) {
        return o.value("status").toArray().contains("Motor in Motion") &&
               o.value("errors").isArray();
    };
    QVERIFY(!watcher->waitForObject(state, heard, {}, since).isEmpty());
    publish(broker.port(), QStringLiteral("dosetta/p1/cmd"), "stop");
    QVERIFY(logShows(sim, QStringLiteral("01KY0")));
}

void BridgeTest::homeAssistantFindsThePump_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("link"); // the key that leads to the pump's topics
    QTest::addColumn<QString>("target");
    QTest::newRow("volume") << "homeassistant/sensor/p1/volume_delivered/config"
                            << "state_topic"
                            << "dosetta/p1/state";
    QTest::newRow("flow rate") << "homeassistant/sensor/p1/flow_rate/config"
                               << "state_topic"
                               << "dosetta/p1/state";
    QTest::newRow("state") << "homeassistant/sensor/p1/run_state/config"
                           << "state_topic"
                           << "dosetta/p1/state";
    QTest::newRow("start") << "homeassistant/button/p1/start/config"
                           << "command_topic"
                           << "dosetta/p1/cmd";
    QTest::newRow("stop") << "homeassistant/button/p1/stop/config"
                          << "command_topic"
                          << "dosetta/p1/cmd";
}

void BridgeTest::homeAssistantFindsThePump()
{
    QFETCH(QString, topic);
    QFETCH(QString, link);
    QFETCH(QString, target);
    // Retained: a client that comes later finds them.
    MqttWatch ha(broker.port(), QStringLiteral("homeassistant/#"));
    const QJsonObject config = ha.waitForObject(topic, [&](const QJsonObject &o) {
        return o.value(link).toString() == target &&
               o.value("availability").toArray().at(0).toObject().value("topic").toString() ==
                   QLatin1String("dosetta/p1/availability") &&
               !o.value("unique_id").toString().isEmpty();
    });
    QVERIFY(!config.isEmpty());
}

void BridgeTest::setReachesThePumpWithItsCorrelation()
{
    publish(broker.port(), QStringLiteral("dosetta/p1/set/flow-rate"), "12.5", false,
            QStringLiteral("req-42"));
    QVERIFY(logShows(sim, QStringLiteral("01RV00012500")));
    const QJsonObject o = watcher->waitForObject(
        QStringLiteral("dosetta/p1/result"),
        [](const QJsonObject &o) {
            return o.value("key").toString() == QLatin1String("flow-rate");
        },
        QStringLiteral("req-42"));
    QVERIFY(!o.isEmpty());
    QCOMPARE(o.value("ok").toBool(), true);
    QCOMPARE(o.value("value").toString(), QStringLiteral("12.5"));
    QCOMPARE(o.value("name").toString(), QStringLiteral("flow_rate_ml_min"));
    QCOMPARE(o.value("answer").toString(), QStringLiteral("ACK"));
}

void BridgeTest::refusedValuesSendNothing_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("payload");
    QTest::newRow("over the limit") << "dosetta/p1/set/flow-rate"
                                    << "1000";
    QTest::newRow("not a number") << "dosetta/p1/set/volume"
                                  << "lots";
    QTest::newRow("unknown key") << "dosetta/p1/set/pressure"
                                 << "2";
    QTest::newRow("read-only key") << "dosetta/p1/set/firmware"
                                   << "V9.9";
    QTest::newRow("unknown command") << "dosetta/p1/cmd"
                                     << "explode";
}

void BridgeTest::refusedValuesSendNothing()
{
    QFETCH(QString, topic);
    QFETCH(QString, payload);
    const QString correlation = QString::fromLatin1(QTest::currentDataTag());
    const int before = sim.received().size();
    publish(broker.port(), topic, payload.toUtf8(), false, correlation);
    const QJsonObject o = watcher->waitForObject(
        QStringLiteral("dosetta/p1/result"), [](const QJsonObject &) { return true; }, correlation);
    QVERIFY(!o.isEmpty());
    QCOMPARE(o.value("ok").toBool(), false);
    QVERIFY(!o.value("error").toString().isEmpty());
    // Only the poller's queries went out meanwhile.
    for (const QString &frame : sim.received().mid(before))
        QVERIFY2(frame.startsWith(QLatin1String("01?")), qPrintable(frame));
}

void BridgeTest::withoutControlNothingIsSent()
{
    SimProcess other(2);
    QVERIFY(other.start());
    auto readOnly = startBridge(other, {"--broker", broker.url(), "--id", "p2"});
    QVERIFY(
        watcher->waitForText(QStringLiteral("dosetta/p2/availability"), QStringLiteral("online")));
    publish(broker.port(), QStringLiteral("dosetta/p2/set/flow-rate"), "20", false,
            QStringLiteral("p2-set"));
    publish(broker.port(), QStringLiteral("dosetta/p2/cmd"), "start", false,
            QStringLiteral("p2-start"));
    for (const QString &correlation : {QStringLiteral("p2-set"), QStringLiteral("p2-start")}) {
        const QJsonObject result = watcher->waitForObject(
            QStringLiteral("dosetta/p2/result"),
            [](const QJsonObject &o) { return o.value("ok").toBool() == false; }, correlation);
        QVERIFY(!result.isEmpty());
        QCOMPARE(result.value("error").toString(), QStringLiteral("control not allowed"));
    }
    for (const QString &frame : other.received())
        QVERIFY2(frame.startsWith(QLatin1String("02?")), qPrintable(frame));

    // Killed, it cannot say goodbye: the broker publishes its last will.
    readOnly->kill();
    QVERIFY(readOnly->waitForFinished(5000));
    QVERIFY(
        watcher->waitForText(QStringLiteral("dosetta/p2/availability"), QStringLiteral("offline")));
}

void BridgeTest::killedBridgeLeavesItsWill()
{
    // An orderly end says offline itself, retained, and exits 0.
    SimProcess other(3);
    QVERIFY(other.start());
    auto b = startBridge(other, {"--broker", broker.url(), "--id", "p3"});
    QVERIFY(
        watcher->waitForText(QStringLiteral("dosetta/p3/availability"), QStringLiteral("online")));
    b->terminate();
    QVERIFY(b->waitForFinished(5000));
    QCOMPARE(b->exitStatus(), QProcess::NormalExit);
    QCOMPARE(b->exitCode(), 0);
    MqttWatch late(broker.port(), QStringLiteral("dosetta/p3/availability"));
    QVERIFY(late.waitForText(QStringLiteral("dosetta/p3/availability"), QStringLiteral("offline")));
}

void BridgeTest::survivesTheBrokerGoingAway()
{
    broker.stop();
    // The pump is polled on while the broker is gone.
    const int before = sim.received().size();
    QVERIFY(sim.waitForReceived(before + 10, 10000));
    QVERIFY(broker.restart());
    // Nothing was kept by the broker: what a new client sees was published afresh.
    MqttWatch fresh(broker.port(), QStringLiteral("dosetta/p1/#"));
    QVERIFY(fresh.waitForText(QStringLiteral("dosetta/p1/availability"), QStringLiteral("online"),
                              0, 40000));
    QVERIFY(!fresh
                 .waitForObject(QStringLiteral("dosetta/p1/state"),
                                [](const QJsonObject &o) {
                                    return o.value("link").toString() == QLatin1String("connected");
                                })
                 .isEmpty());
    QCOMPARE(bridge->state(), QProcess::Running);
}

void BridgeTest::passwordBrokerRefusesWithoutOne()
{
    MosquittoBroker locked;
    QVERIFY(locked.start(QStringLiteral("lab"), QStringLiteral("s3cret")));
    auto refused = startBridge(sim, {"--broker", locked.url(), "--id", "p4"});
    QVERIFY(refused->waitForFinished(20000));
    QCOMPARE(refused->exitCode(), 3);
    const QByteArray err = refused->readAllStandardError();
    QVERIFY2(err.contains("refused the bridge") &&
                 (err.contains("not authorised") || err.contains("password")),
             err.constData());

    QTemporaryDir dir;
    QFile secret(dir.filePath(QStringLiteral("password")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("s3cret\n");
    secret.close();
    SimProcess other(4);
    QVERIFY(other.start());
    auto admitted = startBridge(other, {"--broker", locked.url(), "--id", "p4", "--username", "lab",
                                        "--password-file", secret.fileName()});
    MqttWatch inside(locked.port(), QStringLiteral("dosetta/p4/availability"));
    Q_UNUSED(inside);
    const QByteArray seen = retained(locked.port(), QStringLiteral("dosetta/p4/availability"),
                                     "online", {"-u", "lab", "-P", "s3cret"});
    QVERIFY2(seen.contains("online"), admitted->readAllStandardError().constData());
    admitted->terminate();
    QVERIFY(admitted->waitForFinished(5000));
}

void BridgeTest::tlsWithTheLabsAuthority()
{
    MosquittoBroker secure;
    QVERIFY(secure.startTls());
    SimProcess other(5);
    QVERIFY(other.start());
    auto b =
        startBridge(other, {"--broker", secure.url(), "--id", "p5", "--ca-file", secure.caFile()});
    const QByteArray seen = retained(secure.port(), QStringLiteral("dosetta/p5/availability"),
                                     "online", {"--cafile", secure.caFile()});
    QVERIFY2(seen.contains("online"), b->readAllStandardError().constData());
    b->terminate();
    QVERIFY(b->waitForFinished(5000));
    // A sanitizer's finding on the way out ends the process with 1: its report says where.
    QVERIFY2(b->exitCode() == 0, b->readAllStandardError().constData());
}

QTEST_GUILESS_MAIN(BridgeTest)
#include "tst_bridge.moc"
