// Two real dosetta-cli serve with one pump id on one real mosquitto: the second (and a window's
// session) leaves and names where the id is served, and the first goes on undisturbed. A record
// left behind does not block.

#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "MqttWatch.h"
#include "SimProcess.h"
#include "remote/BridgeSession.h"
#include "remote/HeadlessPump.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QtTest>

#include <memory>

namespace {

using namespace MqttRig;

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
    QCOMPARE(retained(broker.port(), availability, "online"), QByteArray("online"));

    // Every availability message from here on: the second bridge's will must not be among them.
    // The mark tells that the watch has subscribed.
    const QString mark = QStringLiteral("dosetta/twin/mark");
    MqttWatch watch(broker.port(), availability, {"-t", mark, "-R"});
    for (const QDeadlineTimer until(10000); !watch.waitForText(mark, "x", 0, 200);) {
        QVERIFY(!until.hasExpired());
        publish(broker.port(), mark, "x");
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
    // The window's session meets the same refusal and ends with it.
    HeadlessPump pump(secondPump.devicePath(), secondPump.address());
    BridgeSession session(pump.core(), QStringLiteral("test"));
    BridgeOptions options;
    options.broker = broker.url();
    session.start(options, QStringLiteral("twin"));
    QTRY_VERIFY_WITH_TIMEOUT(session.state() == BridgeSession::State::Refused, 10000);
    QVERIFY2(session.reason().contains(QStringLiteral("pid %1").arg(first->processId())),
             qPrintable(session.reason()));

    // The first still serves: a start reaches its pump, and its availability is "online".
    const int before = firstPump.received().size();
    publish(broker.port(), QStringLiteral("dosetta/twin/cmd"), "start");
    const QDeadlineTimer deadline(10000);
    while (!firstPump.received().mid(before).contains(QStringLiteral("01KY1"))) {
        QVERIFY2(!deadline.hasExpired(), qPrintable(firstPump.received().join(' ')));
        QTest::qWait(20);
    }
    QCOMPARE(retained(broker.port(), availability), QByteArray("online"));
    QCOMPARE(first->state(), QProcess::Running);
    // Half a second for a late will to come through.
    const auto any = [](const QByteArray &) {
        return true;
    };
    QVERIFY2(watch.waitFor(availability, any, QString(), 0, 500).isEmpty(),
             qPrintable(watch.lines().join(QLatin1Char('\n'))));
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
    publish(broker.port(), QStringLiteral("dosetta/left/owner"),
            QStringLiteral("{\"host\":\"%1\",\"pid\":%2,\"program\":\"dosetta-cli\"}")
                .arg(QHostInfo::localHostName())
                .arg(pid)
                .toUtf8(),
            true);
    publish(broker.port(), QStringLiteral("dosetta/left/availability"), "online", true);
    SimProcess pump(3);
    QVERIFY(pump.start());
    auto bridge = startBridge(pump, {"--broker", broker.url(), "--id", "left"});
    const QByteArray mine = "\"pid\":" + QByteArray::number(bridge->processId());
    QVERIFY2(retained(broker.port(), QStringLiteral("dosetta/left/owner"), mine).contains(mine),
             bridge->readAllStandardError().constData());
    QCOMPARE(bridge->state(), QProcess::Running);
    bridge->terminate();
    QVERIFY(bridge->waitForFinished(5000));
}

QTEST_GUILESS_MAIN(BridgeIdTest)
#include "tst_bridgeid.moc"
