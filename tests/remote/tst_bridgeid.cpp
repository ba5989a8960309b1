// Two real dosetta-cli serve with one pump id on one real mosquitto: the second leaves and names
// where the id is served, and the first goes on undisturbed. A record left behind does not block.

#include "MosquittoBroker.h"
#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<QProcess> startBridge(const SimProcess &sim, const QStringList &options)
{
    auto bridge = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DOSETTA_PORT"), sim.devicePath());
    env.insert(QStringLiteral("DOSETTA_ADDRESS"), QString::number(sim.address()));
    bridge->setProcessEnvironment(env);
    bridge->start(QStringLiteral(DOSETTA_CLI_PROGRAM), QStringList{"serve"} + options);
    return bridge;
}

QStringList clientArgs(int port, const QString &topic)
{
    return {"-h", "127.0.0.1", "-p", QString::number(port), "-V", "mqttv5", "-t", topic};
}

void publishRetained(int port, const QString &topic, const QByteArray &payload)
{
    QProcess::execute(QStringLiteral("mosquitto_pub"),
                      clientArgs(port, topic) + QStringList{"-q", "1", "-r", "-m", payload});
}

// The retained payload of a topic, as a client connecting now sees it.
QByteArray retained(int port, const QString &topic)
{
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"),
              clientArgs(port, topic) + QStringList{"-C", "1", "-W", "2", "--retained-only"});
    sub.waitForFinished(4000);
    return sub.readAllStandardOutput().trimmed();
}

QByteArray waitForRetained(int port, const QString &topic, const QByteArray &wanted)
{
    const QDeadlineTimer deadline(15000);
    QByteArray seen;
    while ((seen = retained(port, topic)) != wanted && !deadline.hasExpired())
        QTest::qWait(100);
    return seen;
}

} // namespace

class BridgeIdTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondBridgeLeaves();
    void recordLeftBehindDoesNotBlock();

private:
    MosquittoBroker broker;
};

void BridgeIdTest::initTestCase()
{
    QVERIFY(broker.start());
}

void BridgeIdTest::secondBridgeLeaves()
{
    SimProcess firstPump(1);
    SimProcess secondPump(2);
    QVERIFY(firstPump.start());
    QVERIFY(secondPump.start());
    const QString availability = QStringLiteral("dosetta/twin/availability");
    auto first =
        startBridge(firstPump, {"--broker", broker.url(), "--id", "twin", "--allow-control"});
    QCOMPARE(waitForRetained(broker.port(), availability, "online"), QByteArray("online"));

    // Every availability message from here on: the second bridge's will must not be among them.
    // The mark tells that the watch has subscribed.
    const QString mark = QStringLiteral("dosetta/twin/mark");
    QProcess watch;
    watch.start(QStringLiteral("mosquitto_sub"),
                clientArgs(broker.port(), availability) + QStringList{"-t", mark, "-R", "-v"});
    QByteArray watched;
    for (const QDeadlineTimer until(10000); !watched.contains(mark.toUtf8());) {
        QVERIFY(!until.hasExpired());
        QProcess::execute(QStringLiteral("mosquitto_pub"),
                          clientArgs(broker.port(), mark) + QStringList{"-m", "x"});
        watch.waitForReadyRead(200);
        watched += watch.readAllStandardOutput();
    }
    auto second =
        startBridge(secondPump, {"--broker", broker.url(), "--id", "twin", "--allow-control"});
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitCode(), 3);
    const QString said = QString::fromUtf8(second->readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("\"twin\"")) &&
                 said.contains(QStringLiteral("pid %1").arg(first->processId())) &&
                 said.contains(QHostInfo::localHostName()),
             qPrintable(said));

    // The first still serves: a start reaches its pump, and its availability is "online".
    const int before = firstPump.received().size();
    QProcess::execute(QStringLiteral("mosquitto_pub"),
                      clientArgs(broker.port(), QStringLiteral("dosetta/twin/cmd")) +
                          QStringList{"-q", "1", "-m", "start"});
    const QDeadlineTimer deadline(10000);
    while (!firstPump.received().mid(before).contains(QStringLiteral("01KY1"))) {
        QVERIFY2(!deadline.hasExpired(), qPrintable(firstPump.received().join(' ')));
        QTest::qWait(20);
    }
    QCOMPARE(retained(broker.port(), availability), QByteArray("online"));
    QCOMPARE(first->state(), QProcess::Running);
    watch.kill();
    watch.waitForFinished(2000);
    watched += watch.readAllStandardOutput();
    QVERIFY2(!watched.contains(availability.toUtf8()), watched.constData());
    first->terminate();
    QVERIFY(first->waitForFinished(5000));
    QCOMPARE(first->exitCode(), 0);
}

void BridgeIdTest::recordLeftBehindDoesNotBlock()
{
    // "online" with an owner of this host whose process has ended, as after a crash whose last
    // will the broker lost.
    QProcess gone;
    gone.start(QStringLiteral("true"), QStringList());
    QVERIFY(gone.waitForStarted());
    const qint64 pid = gone.processId();
    QVERIFY(gone.waitForFinished());
    publishRetained(broker.port(), QStringLiteral("dosetta/left/owner"),
                    QStringLiteral("{\"host\":\"%1\",\"pid\":%2,\"program\":\"dosetta-cli\"}")
                        .arg(QHostInfo::localHostName())
                        .arg(pid)
                        .toUtf8());
    publishRetained(broker.port(), QStringLiteral("dosetta/left/availability"), "online");
    SimProcess pump(3);
    QVERIFY(pump.start());
    auto bridge = startBridge(pump, {"--broker", broker.url(), "--id", "left"});
    const QByteArray owner = [&] {
        const QDeadlineTimer deadline(15000);
        QByteArray seen;
        while (!seen.contains(QByteArray::number(bridge->processId())) && !deadline.hasExpired()) {
            seen = retained(broker.port(), QStringLiteral("dosetta/left/owner"));
            QTest::qWait(100);
        }
        return seen;
    }();
    QVERIFY2(owner.contains(QByteArray::number(bridge->processId())),
             bridge->readAllStandardError().constData());
    QCOMPARE(bridge->state(), QProcess::Running);
    bridge->terminate();
    QVERIFY(bridge->waitForFinished(5000));
}

QTEST_GUILESS_MAIN(BridgeIdTest)
#include "tst_bridgeid.moc"
