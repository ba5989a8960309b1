// A device on the port that keeps sending text without ever ending a frame (a balance or a GPS
// receiver on the wrong adapter, a line every 20 ms): the window, the command-line tool and the
// bridge stay bounded, say the link is not connected, and end promptly when told.

#include "MosquittoBroker.h"
#include "MqttWatch.h"
#include "ProgramSandbox.h"
#include "PtyPeer.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// Waits for the process to end while the event loop (and so the chatter) runs; its time in ms.
qint64 timeToEnd(QProcess &process, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < limitMs)
        QTest::qWait(5);
    return clock.elapsed();
}

} // namespace

class tst_Chatter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void toolGivesUpWithinItsTimeout();
    void windowStaysResponsive();
    void bridgePublishesNotConnected();

private:
    std::unique_ptr<PtyPeer> peer;
    QTimer chatter;
};

void tst_Chatter::init()
{
    peer = std::make_unique<PtyPeer>();
    QVERIFY(peer->isOpen());
    connect(&chatter, &QTimer::timeout, this,
            [this] { peer->inject("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M\r\n"); });
    chatter.start(20);
}

void tst_Chatter::cleanup()
{
    chatter.stop();
    chatter.disconnect();
    peer.reset();
}

void tst_Chatter::toolGivesUpWithinItsTimeout()
{
    QProcess tool;
    tool.start(QStringLiteral(DOSETTA_CLI_PROGRAM),
               {"--port", peer->slavePath(), "--address", "1", "--timeout", "1000", "status"});
    QVERIFY(tool.waitForStarted());
    const qint64 ms = timeToEnd(tool, 10000);
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 3);
    // --timeout plus half a second, process start included.
    QVERIFY2(ms < 1500, qPrintable(QString::number(ms)));
}

void tst_Chatter::windowStaysResponsive()
{
    ProgramSandbox sandbox;
    QVERIFY(sandbox.isValid());
    sandbox.presetInstance(1, peer->slavePath(), 1);
    std::unique_ptr<QProcess> program = sandbox.startProgram({peer->slavePath()});
    QVERIFY(program->state() == QProcess::Running);
    // Long enough for the window to come up and poll against the chatter.
    QTest::qWait(3000);
    QCOMPARE(program->state(), QProcess::Running);
    QVERIFY(peer->framesReceived() > 5);
    program->terminate();
    const qint64 ms = timeToEnd(*program, 10000);
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 0);
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
}

void tst_Chatter::bridgePublishesNotConnected()
{
    MosquittoBroker broker;
    QVERIFY2(broker.start(), qPrintable(broker.log()));
    const QString topic = QStringLiteral("dosetta/chatter/state");
    MqttWatch subscriber(broker.port(), topic);
    QProcess bridge;
    bridge.start(QStringLiteral(DOSETTA_CLI_PROGRAM),
                 {"--port", peer->slavePath(), "--address", "1", "serve", "--broker", broker.url(),
                  "--id", "chatter"});
    QVERIFY(bridge.waitForStarted());
    // The first states have no link yet (null).
    const QJsonObject state = subscriber.waitForObject(
        topic, [](const QJsonObject &o) { return !o.value("link").toString().isEmpty(); });
    QCOMPARE(state.value("link").toString(), QStringLiteral("disconnected"));
    bridge.terminate();
    const qint64 ms = timeToEnd(bridge, 10000);
    QCOMPARE(bridge.exitStatus(), QProcess::NormalExit);
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
}

QTEST_MAIN(tst_Chatter)
#include "tst_chatter.moc"
