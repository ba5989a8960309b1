// The bridge's MQTT connection against a real mosquitto: the retain flag as it arrives, what the
// broker may send at subscription, the packet size announced at CONNECT, and how a failed TLS
// check is named. The memory case runs the real dosetta-cli serve with the simulated pump.

#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "SimProcess.h"
#include "remote/MqttClient.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

using namespace MqttRig;

BridgeOptions optionsFor(const MosquittoBroker &broker)
{
    BridgeOptions options;
    options.broker = broker.url();
    return options;
}

// Connected and subscribed, or null.
std::unique_ptr<MqttClient> connected(const BridgeOptions &options, const QString &name)
{
    auto client = std::make_unique<MqttClient>(options, name);
    QSignalSpy up(client.get(), &MqttClient::connectedChanged);
    client->start(QStringLiteral("transport/%1/will").arg(name), "gone");
    if (!up.wait(10000) || !client->isConnected())
        return nullptr;
    return client;
}

// The messages on topic that came before marker did (published after them).
QList<MqttClient::Message> before(QSignalSpy &spy, const QString &marker)
{
    QList<MqttClient::Message> seen;
    for (const QList<QVariant> &args : spy) {
        const auto m = args.at(0).value<MqttClient::Message>();
        if (m.topic == marker)
            return seen;
        seen << m;
    }
    return seen;
}

bool markerCame(QSignalSpy &spy, const QString &marker)
{
    for (const QList<QVariant> &args : spy) {
        if (args.at(0).value<MqttClient::Message>().topic == marker)
            return true;
    }
    return false;
}

qint64 peakKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

class TransportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void retainFlagAsReceived_data();
    void retainFlagAsReceived();
    void packetsOverTheAnnouncedSizeNeverArrive();
    void bigPayloadLeavesTheBridgeSmallAndServing();
    void overLongRequestIsRefusedOnResult_data();
    void overLongRequestIsRefusedOnResult();
    void tlsFailureIsNamed_data();
    void tlsFailureIsNamed();

private:
    MosquittoBroker broker;
};

void TransportTest::initTestCase()
{
    QVERIFY(broker.start());
}

void TransportTest::retainFlagAsReceived_data()
{
    QTest::addColumn<bool>("withRetained"); // the subscription's kind
    QTest::addColumn<bool>("earlier");      // published retained before the subscription
    QTest::addColumn<bool>("retainFlag");   // published with the retain flag
    QTest::addColumn<bool>("delivered");    // reaches the client
    QTest::addColumn<bool>("retainedSeen"); // its flag as received

    QTest::newRow("request, live, retain flag set") << false << false << true << true << true;
    QTest::newRow("request, live, no retain flag") << false << false << false << true << false;
    QTest::newRow("request, retained before subscribing")
        << false << true << true << false << false;
    QTest::newRow("with retained, retained before subscribing")
        << true << true << true << true << true;
    QTest::newRow("with retained, live, no retain flag") << true << false << false << true << false;
}

void TransportTest::retainFlagAsReceived()
{
    QFETCH(bool, withRetained);
    QFETCH(bool, earlier);
    QFETCH(bool, retainFlag);
    QFETCH(bool, delivered);
    QFETCH(bool, retainedSeen);
    const QString topic =
        QStringLiteral("transport/retain/%1").arg(QString::number(qHash(QTest::currentDataTag())));
    const QString marker = topic + QStringLiteral("/marker");

    if (earlier)
        publish(broker.port(), topic, "start", retainFlag);
    auto client = connected(optionsFor(broker), QStringLiteral("retain"));
    QVERIFY(client);
    QSignalSpy received(client.get(), &MqttClient::messageReceived);
    client->subscribe({topic}, withRetained);
    client->subscribe({marker});
    if (!earlier)
        publish(broker.port(), topic, "start", retainFlag);
    // Published last: whatever was due for the topic has come by the time it does.
    publish(broker.port(), marker, "end", false);
    QTRY_VERIFY_WITH_TIMEOUT(markerCame(received, marker), 10000);

    const QList<MqttClient::Message> seen = before(received, marker);
    QCOMPARE(seen.size(), delivered ? 1 : 0);
    if (delivered) {
        QCOMPARE(seen.first().topic, topic);
        QCOMPARE(seen.first().payload, QByteArray("start"));
        QCOMPARE(seen.first().retained, retainedSeen);
    }
    publish(broker.port(), topic, QByteArray(), true); // the retained copy goes
}

// The broker keeps anything over the announced size from us; the size counts the whole packet,
// topic and header included.
void TransportTest::packetsOverTheAnnouncedSizeNeverArrive()
{
    auto client = connected(optionsFor(broker), QStringLiteral("size"));
    QVERIFY(client);
    QSignalSpy received(client.get(), &MqttClient::messageReceived);
    const QString topic = QStringLiteral("transport/size");
    client->subscribe({topic});
    const int limit = MqttClient::MaxPacketBytes;
    for (int size : {limit + 1, 1024 * 1024, limit - 100})
        publish(broker.port(), topic, QByteArray(size, 'x'), false);
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 10000);
    QCOMPARE(received.first().at(0).value<MqttClient::Message>().payload.size(), limit - 100);
}

// One and twenty megabytes sent to the bridge's request topics cost it nothing, and it goes on
// answering.
void TransportTest::bigPayloadLeavesTheBridgeSmallAndServing()
{
    SimProcess sim(1);
    QVERIFY(sim.start());
    auto bridge = startBridge(sim, {"--broker", broker.url(), "--id", "t1", "--allow-control"});
    QVERIFY(bridge->waitForStarted(5000));

    auto user = connected(optionsFor(broker), QStringLiteral("user"));
    QVERIFY(user);
    QSignalSpy received(user.get(), &MqttClient::messageReceived);
    user->subscribe({"dosetta/t1/result", "dosetta/t1/state"}, true);
    const auto resultFor = [&received](const QByteArray &correlation) {
        for (const QList<QVariant> &args : received) {
            const auto m = args.at(0).value<MqttClient::Message>();
            if (m.topic.endsWith(QLatin1String("/result")) && m.correlation == correlation)
                return m.payload;
        }
        return QByteArray();
    };
    const auto pumpAnswers = [&received] {
        for (const QList<QVariant> &args : received) {
            if (args.at(0).value<MqttClient::Message>().payload.contains("\"link\":\"connected\""))
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(pumpAnswers(), 20000);
    const qint64 before = peakKb(bridge->processId());
    QVERIFY(before > 0);

    for (int mib : {1, 20}) {
        const QByteArray big(mib * 1024 * 1024, '7');
        publish(broker.port(), "dosetta/t1/cmd", big, false);
        publish(broker.port(), "dosetta/t1/set/flow-rate", big, false);
    }
    QVERIFY(user->publish("dosetta/t1/set/flow-rate", "12.5", 1, false, "after"));
    QTRY_VERIFY_WITH_TIMEOUT(!resultFor("after").isEmpty(), 10000);
    QVERIFY2(resultFor("after").contains("\"ok\":true"), resultFor("after").constData());
    const qint64 after = peakKb(bridge->processId());
    QVERIFY2(after - before < 20 * 1024,
             qPrintable(QStringLiteral("peak %1 kB -> %2 kB").arg(before).arg(after)));
    QCOMPARE(bridge->state(), QProcess::Running);

    bridge->terminate();
    QVERIFY(bridge->waitForFinished(5000));
}

void TransportTest::overLongRequestIsRefusedOnResult_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("refusal");
    QTest::newRow("program file of 100 KiB")
        << "program/run" << 100 * 1024 << QByteArray("request longer than 65536 bytes");
    QTest::newRow("program file just inside the packet limit")
        << "program/run" << MqttClient::MaxPacketBytes - 200
        << QByteArray("request longer than 65536 bytes");
    QTest::newRow("command of 100 KiB")
        << "cmd" << 100 * 1024 << QByteArray("request longer than 256 bytes");
}

// What the broker passes on is answered, however long: the refusal, not silence.
void TransportTest::overLongRequestIsRefusedOnResult()
{
    QFETCH(QString, topic);
    QFETCH(int, size);
    QFETCH(QByteArray, refusal);
    SimProcess sim(1);
    QVERIFY(sim.start());
    auto bridge = startBridge(sim, {"--broker", broker.url(), "--id", "t2", "--allow-control"});
    QVERIFY(bridge->waitForStarted(5000));
    auto user = connected(optionsFor(broker), QStringLiteral("long"));
    QVERIFY(user);
    QSignalSpy received(user.get(), &MqttClient::messageReceived);
    user->subscribe({"dosetta/t2/result", "dosetta/t2/availability"}, true);
    const auto online = [&received] {
        for (const QList<QVariant> &args : received) {
            if (args.at(0).value<MqttClient::Message>().payload == "online")
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(online(), 20000);
    QVERIFY(user->publish("dosetta/t2/" + topic, QByteArray(size, ' '), 1, false, "long"));
    QByteArray result;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const QList<QVariant> &args : received) {
                const auto m = args.at(0).value<MqttClient::Message>();
                if (m.topic.endsWith(QLatin1String("/result")) && m.correlation == "long")
                    result = m.payload;
            }
            return !result.isEmpty();
        }(),
        10000);
    QVERIFY2(result.contains(refusal), result.constData());
    // Short: the start of the request at most, never the request.
    QVERIFY2(result.size() < 1024, QByteArray::number(result.size()).constData());
    bridge->terminate();
    QVERIFY(bridge->waitForFinished(5000));
}

void TransportTest::tlsFailureIsNamed_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("ownAuthority"); // the broker's authority, or another one
    QTest::addColumn<QString>("named");

    QTest::newRow("authority of someone else")
        << "127.0.0.1" << false << "TLS: the broker's certificate is not trusted (";
    QTest::newRow("host the certificate does not name")
        << "localhost" << true << "TLS: the broker's certificate does not name host localhost";
}

// Named as a TLS failure at every attempt, so that whoever prints only a changed reason says it
// once; and tried again, as a broker's certificate can be renewed.
void TransportTest::tlsFailureIsNamed()
{
    QFETCH(QString, host);
    QFETCH(bool, ownAuthority);
    QFETCH(QString, named);
    MosquittoBroker secure;
    QVERIFY(secure.startTls());
    QTemporaryDir other;
    QString caFile = secure.caFile();
    if (!ownAuthority) {
        QProcess openssl;
        openssl.setWorkingDirectory(other.path());
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
                       "ca.pem", "-days", "2", "-subj", "/CN=Another authority"});
        QVERIFY(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
        caFile = other.filePath(QStringLiteral("ca.pem"));
    }
    BridgeOptions options;
    options.broker = QStringLiteral("mqtts://%1:%2").arg(host).arg(secure.port());
    options.caFile = caFile;
    MqttClient client(options, QStringLiteral("tls"));
    QSignalSpy failed(&client, &MqttClient::attemptFailed);
    QSignalSpy refused(&client, &MqttClient::refused);
    client.start(QStringLiteral("transport/tls/will"), "gone");
    QTRY_VERIFY_WITH_TIMEOUT(failed.size() >= 2, 10000);
    for (const QList<QVariant> &args : failed)
        QVERIFY2(args.at(0).toString().startsWith(named), qPrintable(args.at(0).toString()));
    QCOMPARE(failed.at(0).at(0).toString(), failed.at(1).at(0).toString());
    QCOMPARE(refused.size(), 0);
    QVERIFY(!client.isConnected());
}

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"
