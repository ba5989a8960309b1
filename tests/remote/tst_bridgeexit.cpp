// dosetta-cli serve told to end (SIGTERM) while a program runs on the simulated pump: the pump is
// stopped and the run is closed in the journal with the pump's count before the bridge is gone.

#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "MqttWatch.h"
#include "SimLog.h"
#include "SimProcess.h"

#include "journal/JournalReader.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace MqttRig;

class BridgeExitTest : public QObject
{
    Q_OBJECT

private slots:
    void termClosesTheRun();
};

void BridgeExitTest::termClosesTheRun()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.sqlite"));
    qputenv("DOSETTA_JOURNAL", path.toLocal8Bit());
    MosquittoBroker broker;
    SimProcess sim{1, {"--speed", "20"}};
    QVERIFY(broker.start());
    QVERIFY(sim.start());
    MqttWatch watcher(broker.port(), QStringLiteral("dosetta/#"));
    std::unique_ptr<QProcess> bridge =
        startBridge(sim, {"--broker", broker.url(), "--id", "p1", "--allow-control"});
    QVERIFY(watcher.waitForText(QStringLiteral("dosetta/p1/pump"), QStringLiteral("online")));
    const std::size_t logged = sim.log().size();
    QVERIFY(publish(broker.port(), QStringLiteral("dosetta/p1/program/run"),
                    R"({"format": "dosetta-program/1", "name": "Long", "steps": [)"
                    R"({"run": {"rate_ml_min": 10, "for_s": 600}}]})"));
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(QStringLiteral("01KY1")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(SimLog::runsTotal(sim.log(), logged) > 0, 10000);

    bridge->terminate();
    QVERIFY(bridge->waitForFinished(15000));
    QCOMPARE(bridge->exitCode(), 0);
    // The simulator's log is read a little behind it.
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(QStringLiteral("01KY0")), 5000);
    // Read once the bridge is gone: nothing more will be written.
    JournalReader reader(path);
    const QVector<JournalRun> runs = reader.runs(JournalFilter());
    QVERIFY2(reader.problem().isEmpty(), qPrintable(reader.problem()));
    QCOMPARE(runs.size(), 1);
    const QJsonObject run = runs.first().toJson();
    QVERIFY2(!runs.first().open(), "the run was left open");
    const QString cause = run.value("cause").toString();
    QVERIFY2(cause.contains(QLatin1String("stop")) && cause != QLatin1String("owner-gone"),
             qPrintable(cause));
    QTRY_COMPARE(run.value("volume_ml").toDouble(), SimLog::runsTotal(sim.log(), logged) / 1000.0);
}

QTEST_GUILESS_MAIN(BridgeExitTest)
#include "tst_bridgeexit.moc"
