// What the bridge refuses to let act on the pump: requests the broker kept from before (retained),
// across a restart of a broker that keeps them, and settings a permission does not cover, also
// when the configuration file allowed them; revoking a permission, or losing the broker, drops
// what was queued.

#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "SimProcess.h"

#include "BusinessLogic/Command.h"
#include "remote/BridgeSession.h"
#include "remote/HeadlessPump.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Id = BusinessLogic::CommandSpezifier;

using namespace MqttRig;

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

int queued(PumpCore &core, Id id)
{
    int n = 0;
    for (const BusinessLogic::QueueEntry &e : core.stack().queuedEntries()) {
        if (e.lane == BusinessLogic::Lane::Remote && e.command->spezifier() == id)
            ++n;
    }
    return n;
}

} // namespace

class BridgeGuardTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void retainedRequestsNeverAct();
    void revokingOrLosingTheBrokerDrops();

private:
    MosquittoBroker broker;
};

void BridgeGuardTest::initTestCase()
{
    QVERIFY(broker.startPersistent());
}

void BridgeGuardTest::retainedRequestsNeverAct()
{
    SimProcess sim(1);
    QVERIFY(sim.start());
    // A slip, or a dashboard node with "retain" ticked, before the bridge ever ran.
    QVERIFY(publish(broker.port(), "dosetta/pg/cmd", "start", true));
    QVERIFY(publish(broker.port(), "dosetta/pg/set/flow-rate", "33.3", true));

    // The file allows everything; the command line takes configuration back.
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("bridge.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("broker = " + broker.url().toUtf8() +
                 "\nid = pg\nallow-control = yes\nallow-config = yes\n");
    config.close();
    auto bridge = startBridge(sim, {"--config", config.fileName(), "--no-allow-config"});
    QByteArray said;
    QVERIFY(waitUntil(
        [&] {
            said += bridge->readAllStandardError();
            return said.contains("publishing");
        },
        15000));
    QVERIFY2(said.contains("remote control allowed, configuration not allowed"), said.constData());

    // Live requests, behind what the broker handed over at the subscription.
    QVERIFY(publish(broker.port(), "dosetta/pg/set/address", "7"));
    QVERIFY(publish(broker.port(), "dosetta/pg/set/flow-rate", "12.5"));
    QVERIFY(waitUntil([&] { return sim.received().contains("01RV00012500"); }, 10000));

    broker.stop();
    QVERIFY(broker.restart());
    QCOMPARE(retained(broker.port(), "dosetta/pg/cmd"), QByteArray("start"));
    QCOMPARE(retained(broker.port(), "dosetta/pg/set/flow-rate"), QByteArray("33.3"));
    // Once a live request gets through, the bridge is subscribed again and has been handed the
    // retained ones first.
    QVERIFY(waitUntil(
        [&] {
            publish(broker.port(), "dosetta/pg/set/flow-rate", "14");
            return waitUntil([&] { return sim.received().contains("01RV00014000"); }, 1000);
        },
        40000));

    const QStringList live{"01RV00012500", "01RV00014000"};
    for (const QString &frame : sim.received())
        QVERIFY2(frame.startsWith(QLatin1String("01?")) || live.contains(frame), qPrintable(frame));
    bridge->terminate();
    QVERIFY(bridge->waitForFinished(5000));
    QCOMPARE(bridge->exitCode(), 0);
}

void BridgeGuardTest::revokingOrLosingTheBrokerDrops()
{
    SimProcess sim(2);
    QVERIFY(sim.start());
    HeadlessPump pump(sim.devicePath(), sim.address());
    QVERIFY(pump.portOpen());
    BridgeSession session(pump.core(), pump.runner(), QStringLiteral("test"));
    BridgeOptions options;
    options.broker = broker.url();
    options.allowControl = true;
    options.allowConfig = true;
    session.start(options, QStringLiteral("pr"));
    QTRY_VERIFY_WITH_TIMEOUT(session.state() == BridgeSession::State::Publishing, 10000);

    // More than the pump answers at once: contrast (configuration) and flow rate (control),
    // taking turns.
    QProcess burst;
    burst.start("mosquitto_pub", clientArgs(broker.port(), "dosetta/pr/set/contrast") +
                                     QStringList{"-q", "1", "-l"});
    QProcess rates;
    rates.start("mosquitto_pub", clientArgs(broker.port(), "dosetta/pr/set/flow-rate") +
                                     QStringList{"-q", "1", "-l"});
    QVERIFY(burst.waitForStarted() && rates.waitForStarted());
    for (int i = 0; i < 12; ++i) {
        burst.write(QByteArray::number(40 + i % 2) + '\n');
        rates.write(QByteArray::number(20 + i % 2) + '\n');
    }
    burst.closeWriteChannel();
    rates.closeWriteChannel();
    QVERIFY(burst.waitForFinished(5000) && rates.waitForFinished(5000));
    PumpCore &core = pump.core();
    QTRY_VERIFY_WITH_TIMEOUT(
        queued(core, Id::SetDisplayContrast) >= 3 && queued(core, Id::SetFlowRate) >= 3, 5000);

    session.setConfigAllowed(false);
    QCOMPARE(queued(core, Id::SetDisplayContrast), 0);
    QVERIFY(queued(core, Id::SetFlowRate) > 0);
    session.setControlAllowed(false);
    QCOMPARE(queued(core, Id::SetFlowRate), 0);
    QCOMPARE(core.stack().queuedCount(BusinessLogic::Lane::Remote), 0);

    // Losing the broker drops them too: nobody would hear their results. Many more than the
    // pump answers before the loss is noticed.
    for (int i = 0; i < 300; ++i)
        core.submit(BusinessLogic::Lane::Remote, Id::SetFlowRate, 20000 + i % 2);
    broker.stop();
    QTRY_VERIFY_WITH_TIMEOUT(session.state() == BridgeSession::State::Connecting, 5000);
    QCOMPARE(core.stack().queuedCount(BusinessLogic::Lane::Remote), 0);
    session.stop();
}

QTEST_GUILESS_MAIN(BridgeGuardTest)
#include "tst_bridgeguard.moc"
