// What Home Assistant and Node-RED meet when they use dosetta-cli serve: the discovery configs
// against the state really published, JSON commands as they reach the simulated pump, refusals
// that name the pump's error flags, and an availability that follows the pump's link.

#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "MqttWatch.h"
#include "SimProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

using namespace MqttRig;

// Topics of the configs retained at the broker now.
QStringList retainedConfigs(int port, const QString &pumpId)
{
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"),
              clientArgs(port, QStringLiteral("homeassistant/+/%1/+/config").arg(pumpId)) +
                  QStringList{"--retained-only", "-W", "1", "-F", "%t"});
    sub.waitForFinished(5000);
    return QString::fromUtf8(sub.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

bool frameAfter(const QStringList &frames, const QString &first, const QString &then)
{
    const int at = frames.indexOf(first);
    return at >= 0 && frames.indexOf(then, at + 1) > at;
}

// The frames other than queries: what was set or started.
QStringList actions(const QStringList &frames, int address)
{
    const QString query = QStringLiteral("%1?").arg(address, 2, 10, QLatin1Char('0'));
    QStringList out;
    for (const QString &f : frames) {
        if (!f.startsWith(query))
            out << f;
    }
    return out;
}

} // namespace

class BridgeHaTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void discoveryReadsTheRealState_data();
    void discoveryReadsTheRealState();
    void jsonDoseReachesThePump();
    void badJsonStartsNothing_data();
    void badJsonStartsNothing();
    void nakNamesTheErrorFlags();
    void refusedStepStartsNothing();
    // Needs the FLUXO 02's bridge with control.
    void discoveryFollowsTheModel_data();
    void discoveryFollowsTheModel();
    void controlEntitiesGoWithoutControl();
    void pumpAvailabilityFollowsTheLink();

private:
    // Sends payload on the pump's cmd topic and waits for its result, told apart from every
    // other by its correlation data.
    QJsonObject result(const QString &pumpId, const QString &payload);

    MosquittoBroker broker;
    SimProcess sim{1};
    // A FLUXO 02: it refuses flow rates above 20 ml/min that the key table lets through.
    SimProcess small{2, {QStringLiteral("--type"), QStringLiteral("02")}};
    std::unique_ptr<QProcess> bridge;
    std::unique_ptr<QProcess> second;
    std::unique_ptr<MqttWatch> watch;
    int requests = 0;
};

void BridgeHaTest::initTestCase()
{
    QVERIFY(broker.start());
    QVERIFY(sim.start());
    QVERIFY(small.start());
    watch = std::make_unique<MqttWatch>(broker.port(), QStringLiteral("#"));
    bridge = startBridge(
        sim, {"--ha-discovery", "--broker", broker.url(), "--id", "h1", "--allow-control"},
        PumpGiven::OnCommandLine);
    second = startBridge(
        small, {"--ha-discovery", "--broker", broker.url(), "--id", "h2", "--allow-control"},
        PumpGiven::OnCommandLine);
    for (const char *topic : {"dosetta/h1/pump", "dosetta/h2/pump"})
        QVERIFY(watch->waitForText(QLatin1String(topic), "online"));
}

void BridgeHaTest::cleanupTestCase()
{
    for (QProcess *b : {bridge.get(), second.get()}) {
        b->terminate();
        QVERIFY(b->state() == QProcess::NotRunning || b->waitForFinished(5000));
    }
}

QJsonObject BridgeHaTest::result(const QString &pumpId, const QString &payload)
{
    const QString correlation = QStringLiteral("request %1").arg(++requests);
    publish(broker.port(), QStringLiteral("dosetta/%1/cmd").arg(pumpId), payload.toUtf8(), false,
            correlation);
    const auto any = [](const QJsonObject &) {
        return true;
    };
    return watch->waitForObject(QStringLiteral("dosetta/%1/result").arg(pumpId), any, correlation);
}

void BridgeHaTest::discoveryReadsTheRealState_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<bool>("needsThePump"); // unavailable while the pump does not answer
    QTest::addColumn<QString>("value");     // sent to the command topic; empty: not tried
    QTest::newRow("volume delivered") << "sensor/h1/volume_delivered" << true << "";
    QTest::newRow("flow rate") << "sensor/h1/flow_rate" << true << "";
    QTest::newRow("time elapsed") << "sensor/h1/time_elapsed" << true << "";
    QTest::newRow("run state") << "sensor/h1/run_state" << true << "";
    QTest::newRow("error") << "binary_sensor/h1/error" << true << "";
    QTest::newRow("link") << "binary_sensor/h1/link" << false << "";
    QTest::newRow("total volume") << "sensor/h1/total_volume" << true << "";
    QTest::newRow("running hours") << "sensor/h1/total_hours" << true << "";
    QTest::newRow("service due") << "binary_sensor/h1/service_due" << true << "";
    QTest::newRow("flow rate number") << "number/h1/flow_rate_setpoint" << true << "min";
    QTest::newRow("volume number") << "number/h1/volume" << true << "max";
    QTest::newRow("dispense time number") << "number/h1/dispense_time" << true << "max";
    QTest::newRow("mode select") << "select/h1/mode" << true << "volume";
    QTest::newRow("pause button") << "button/h1/pause" << true << "";
    QTest::newRow("prime button") << "button/h1/prime" << true << "";
}

// Every field a template reads is in the state the bridge publishes, and what a number or the
// select sends is taken by the bridge.
void BridgeHaTest::discoveryReadsTheRealState()
{
    QFETCH(QString, config);
    QFETCH(bool, needsThePump);
    QFETCH(QString, value);
    MqttWatch ha(broker.port(), QStringLiteral("homeassistant/#"));
    // Published again once the pump has said what it is.
    const QJsonObject c = ha.waitForObject(
        QStringLiteral("homeassistant/%1/config").arg(config), [](const QJsonObject &o) {
            return o.value("device").toObject().value("model").toString().startsWith("FLUXO ");
        });
    QVERIFY2(!c.isEmpty(), qPrintable(config));
    // The device's software is the pump's firmware; this program is the origin.
    QVERIFY(c.value("device").toObject().value("sw_version").toString().startsWith('V'));
    QVERIFY(!c.value("origin").toObject().value("sw_version").toString().isEmpty());

    QStringList availability;
    for (const QJsonValue &a : c.value("availability").toArray())
        availability << a.toObject().value("topic").toString();
    QStringList expected{"dosetta/h1/availability"};
    if (needsThePump)
        expected << "dosetta/h1/pump";
    QCOMPARE(availability, expected);
    QCOMPARE(c.value("availability_mode").toString(), QStringLiteral("all"));

    const QString temp = c.value("value_template").toString();
    if (!temp.isEmpty()) {
        QCOMPARE(c.value("state_topic").toString(), QStringLiteral("dosetta/h1/state"));
        const auto linked = [](const QJsonObject &o) {
            return o.value("link") == "connected";
        };
        const QJsonObject state = watch->waitForObject("dosetta/h1/state", linked);
        QRegularExpressionMatchIterator fields =
            QRegularExpression(QStringLiteral("value_json\\.(\\w+)")).globalMatch(temp);
        QVERIFY(fields.hasNext());
        while (fields.hasNext()) {
            const QString name = fields.next().captured(1);
            QVERIFY2(state.contains(name), qPrintable(name + QStringLiteral(" in ") + temp));
        }
    }
    if (!value.isEmpty()) {
        const QString sent = c.contains(value) ? QString::number(c.value(value).toDouble()) : value;
        const QString correlation = QString::fromLatin1(QTest::currentDataTag());
        publish(broker.port(), c.value("command_topic").toString(), sent.toUtf8(), false,
                correlation);
        const auto any = [](const QJsonObject &) {
            return true;
        };
        const QJsonObject r = watch->waitForObject("dosetta/h1/result", any, correlation);
        QVERIFY2(r.value("ok").toBool(), QJsonDocument(r).toJson().constData());
    }
}

void BridgeHaTest::jsonDoseReachesThePump()
{
    const int before = sim.received().size();
    const QJsonObject r = result(QStringLiteral("h1"),
                                 QStringLiteral(R"({"command":"dose","volume":2.5,"rate":10})"));
    QVERIFY2(r.value("ok").toBool(), QJsonDocument(r).toJson().constData());
    QCOMPARE(r.value("key").toString(), QStringLiteral("dose"));
    // 2.5 ml at 10 ml/min: 15 s of dispense time, then the start.
    const QStringList frames = sim.received().mid(before);
    for (const char *frame : {"01DV00002500", "01RV00010000", "01DT00001500"})
        QVERIFY2(frameAfter(frames, QLatin1String(frame), QStringLiteral("01KY1")),
                 qPrintable(frames.join(' ')));
    QVERIFY(
        result(QStringLiteral("h1"), QStringLiteral(R"({"command":"stop"})")).value("ok").toBool());
}

void BridgeHaTest::badJsonStartsNothing_data()
{
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("named"); // in the error
    QTest::newRow("volume over the limit") << R"({"command":"dose","volume":5000})"
                                           << "volume";
    QTest::newRow("misspelt rate") << R"({"command":"dose","volume":2,"rat":5})"
                                   << "rat";
    QTest::newRow("longer than a dispense time") << R"({"command":"dose","volume":999,"rate":1})"
                                                 << "dispense time";
    QTest::newRow("run without a rate") << R"({"command":"run","time":"5m"})"
                                        << "rate";
    QTest::newRow("run for a week") << R"({"command":"run","rate":5,"time":"168h"})"
                                    << "dispense-time";
    QTest::newRow("rate as a list") << R"({"command":"run","rate":[5]})"
                                    << "rate";
    // The error never repeats what was sent: the key is echoed, cut, on its own.
    QTest::newRow("unknown command") << R"({"command":"flush"})"
                                     << "unknown command";
    QTest::newRow("cut short") << R"({"command":"dose",)"
                               << "JSON";
}

void BridgeHaTest::badJsonStartsNothing()
{
    QFETCH(QString, payload);
    QFETCH(QString, named);
    const int before = sim.received().size();
    const QJsonObject r = result(QStringLiteral("h1"), payload);
    QCOMPARE(r.value("ok").toBool(true), false);
    QVERIFY2(r.value("error").toString().contains(named), qPrintable(r.value("error").toString()));
    QCOMPARE(actions(sim.received().mid(before), 1), QStringList());
}

// A plain start and a JSON dose, refused while the pump reports an error.
void BridgeHaTest::nakNamesTheErrorFlags()
{
    const int since = watch->lines().size();
    sim.control("error temperature on");
    // The state shows it once the simulator has taken it.
    const auto lit = [](const QJsonObject &o) {
        return !o.value("errors").toArray().isEmpty();
    };
    QVERIFY(!watch->waitForObject("dosetta/h1/state", lit, QString(), since).isEmpty());
    const QJsonObject start = result(QStringLiteral("h1"), QStringLiteral("start"));
    const QJsonObject dose =
        result(QStringLiteral("h1"), QStringLiteral(R"({"command":"dose","volume":1})"));
    sim.control("error temperature off");
    const QString flags = QStringLiteral("; it reports: Maximum temperature exceeded");
    QCOMPARE(start.value("answer").toString(), QStringLiteral("NAK"));
    QCOMPARE(start.value("error").toString(), QStringLiteral("the pump refused it") + flags);
    QCOMPARE(dose.value("answer").toString(), QStringLiteral("NAK"));
    QCOMPARE(dose.value("error").toString(), QStringLiteral("the pump refused start") + flags);
    QCOMPARE(dose.value("cause").toString(), QStringLiteral("refused"));
    for (const QJsonObject &refused : {start, dose})
        QCOMPARE(refused.value("errors").toArray(), QJsonArray{"Maximum temperature exceeded"});
}

// A FLUXO 02 moves at most 20 ml/min: a dose at 50 is refused by its limits, before anything
// goes to the pump, and the pump is never started.
void BridgeHaTest::refusedStepStartsNothing()
{
    const auto fluxo02 = [](const QJsonObject &o) {
        return o.value("model") == "FLUXO 02";
    };
    QVERIFY(!watch->waitForObject("dosetta/h2/info", fluxo02, QString(), 0, 20000).isEmpty());
    const QJsonObject r =
        result(QStringLiteral("h2"), QStringLiteral(R"({"command":"dose","volume":5,"rate":50})"));
    QCOMPARE(r.value("ok").toBool(true), false);
    QVERIFY2(r.value("error").toString().contains(QStringLiteral("20.0 ml/min on a FLUXO 02")),
             qPrintable(r.value("error").toString()));
    const QStringList done = actions(small.received(), 2);
    QVERIFY2(!done.contains(QStringLiteral("02RV00050000")), qPrintable(done.join(' ')));
    QVERIFY2(!done.contains(QStringLiteral("02KY1")), qPrintable(done.join(' ')));
}

// The same pump served again without control: its numbers, select and buttons are gone from
// the broker, its sensors stay.
void BridgeHaTest::controlEntitiesGoWithoutControl()
{
    QVERIFY(retainedConfigs(broker.port(), QStringLiteral("h2"))
                .contains(QStringLiteral("homeassistant/number/h2/volume/config")));
    second->terminate();
    QVERIFY(second->waitForFinished(5000));
    const int since = watch->lines().size();
    second = startBridge(small, {"--ha-discovery", "--broker", broker.url(), "--id", "h2"},
                         PumpGiven::OnCommandLine);
    // The info goes out right after the discovery.
    const auto any = [](const QByteArray &) {
        return true;
    };
    QVERIFY(!watch->waitFor("dosetta/h2/info", any, QString(), since).isEmpty());
    const QStringList configs = retainedConfigs(broker.port(), QStringLiteral("h2"));
    QVERIFY(configs.contains(QStringLiteral("homeassistant/sensor/h2/volume_delivered/config")));
    QVERIFY(configs.contains(QStringLiteral("homeassistant/binary_sensor/h2/link/config")));
    for (const QString &topic : configs) {
        for (const char *control : {"/number/", "/select/", "/button/"})
            QVERIFY2(!topic.contains(QLatin1String(control)), qPrintable(topic));
    }
}

// A pump that stops answering turns its own availability off, and the journal says so once per
// change; each request has a line of its own.
void BridgeHaTest::pumpAvailabilityFollowsTheLink()
{
    const int since = watch->lines().size();
    sim.control("silent on");
    QVERIFY(watch->waitForText("dosetta/h1/pump", "offline", since));
    // The bridge itself still runs.
    QVERIFY(
        !watch->lines().mid(since).contains(QStringLiteral("dosetta/h1/availability||offline")));
    sim.control("silent off");
    QVERIFY(watch->waitForText("dosetta/h1/pump", "online", since));
    bridge->terminate();
    QVERIFY(bridge->waitForFinished(5000));
    const QString journal = QString::fromUtf8(bridge->readAllStandardError());
    // A machine slow enough to miss the first answer adds a silent spell at start: each silent
    // line is still followed by one connected line.
    const int silent = journal.count(QStringLiteral("pump link: silent"));
    QVERIFY2(silent >= 1, qPrintable(journal));
    QCOMPARE(journal.count(QStringLiteral("pump link: connected")), silent + 1);
    QVERIFY2(journal.contains(QStringLiteral(R"(request cmd "start": the pump refused it; it )")),
             qPrintable(journal));
    QVERIFY2(journal.contains(QStringLiteral(R"(request set/mode "volume": ACK)")),
             qPrintable(journal));
    // Stopped in order: both topics say offline.
    MqttWatch late(broker.port(), QStringLiteral("dosetta/h1/+"));
    QVERIFY(late.waitForText("dosetta/h1/pump", "offline"));
}

void BridgeHaTest::discoveryFollowsTheModel_data()
{
    QTest::addColumn<QString>("pumpId");
    QTest::addColumn<QString>("model");
    QTest::addColumn<double>("maximum"); // of the flow rate's number
    QTest::newRow("FLUXO 10") << "h1"
                              << "FLUXO 10" << 100.0;
    QTest::newRow("FLUXO 02") << "h2"
                              << "FLUXO 02" << 20.0;
}

// What Home Assistant offers follows the pump connected: the limits of its type, the modes it
// takes, the states the bridge publishes, the flags behind an error.
void BridgeHaTest::discoveryFollowsTheModel()
{
    QFETCH(QString, pumpId);
    QFETCH(QString, model);
    QFETCH(double, maximum);
    MqttWatch ha(broker.port(), QStringLiteral("homeassistant/#"));
    const auto config = [&](const char *entity) {
        return ha.waitForObject(
            QStringLiteral("homeassistant/%1/config").arg(QString::fromLatin1(entity).arg(pumpId)),
            [&](const QJsonObject &o) {
                return o.value("device").toObject().value("model").toString() == model;
            });
    };
    const QJsonObject number = config("number/%1/flow_rate_setpoint");
    QCOMPARE(number.value("max").toDouble(), maximum);
    QCOMPARE(number.value("origin").toObject().value("name").toString(), QStringLiteral("DOSETTA"));

    QCOMPARE(config("select/%1/mode").value("options").toArray(),
             (QJsonArray{QStringLiteral("flow"), QStringLiteral("volume")}));

    const QJsonObject state = config("sensor/%1/run_state");
    QCOMPARE(state.value("device_class").toString(), QStringLiteral("enum"));
    const QJsonArray options = state.value("options").toArray();
    for (const char *s : {"running", "paused", "priming", "stopped"})
        QVERIFY2(options.contains(QLatin1String(s)), s);
    const QJsonObject published =
        watch->waitForObject(QStringLiteral("dosetta/%1/state").arg(pumpId),
                             [](const QJsonObject &o) { return o.value("link") == "connected"; });
    QVERIFY2(options.contains(published.value("run_state")),
             qPrintable(published.value("run_state").toString()));

    const QJsonObject error = config("binary_sensor/%1/error");
    QCOMPARE(error.value("json_attributes_topic").toString(),
             QStringLiteral("dosetta/%1/state").arg(pumpId));
    QVERIFY(error.value("json_attributes_template").toString().contains("value_json.errors"));

    // No sensor passes the set-point off as a flow: the flow sensor reads the run state too.
    QVERIFY(config("sensor/%1/flow_rate").value("value_template").toString().contains("run_state"));
}

QTEST_GUILESS_MAIN(BridgeHaTest)
#include "tst_bridgeha.moc"
