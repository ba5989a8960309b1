// Two real dosetta-cli serve with one pump id on one real mosquitto: the second (and a window's
// session) leaves and names where the id is served, and the first goes on undisturbed. A record
// left behind does not block, a forged one does not evict. Leaving on any ending signal, a bridge
// stops the program it started, and only that, before "offline".

#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "MqttWatch.h"
#include "SimProcess.h"
#include "remote/BridgeSession.h"
#include "remote/HeadlessPump.h"
#include "remote/IdClaim.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
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
    void leavingStopsOnlyItsOwnRun_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("ours"); // the bridge started the run, else the keypad did
        QTest::newRow("SIGTERM, its program") << SIGTERM << true;
        QTest::newRow("SIGINT, its program") << SIGINT << true;
        QTest::newRow("SIGHUP, its program") << SIGHUP << true;
        QTest::newRow("SIGQUIT, its program") << SIGQUIT << true;
        QTest::newRow("SIGTERM, the keypad's run") << SIGTERM << false;
    }
    void leavingStopsOnlyItsOwnRun()
    {
        QFETCH(int, signal);
        QFETCH(bool, ours);
        const QString root = QStringLiteral("dosetta/exit%1%2/").arg(signal).arg(ours);
        QVERIFY(serve(root.section('/', 1, 1), ours));
        ::kill(static_cast<pid_t>(bridge->processId()), signal);
        if (ours) // Stop goes first, within a second
            QTRY_VERIFY_WITH_TIMEOUT(sim->received().mid(mark).contains("01KY0"), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(bridge->state(), QProcess::NotRunning, 10000);
        QCOMPARE(bridge->exitCode(), 0);
        QCOMPARE(retained(broker.port(), root + "availability", "offline"), "offline");
        QCOMPARE(retained(broker.port(), root + "pump", "offline"), "offline");
        QCOMPARE(retained(broker.port(), root + "owner"), QByteArray());
        QTest::qWait(100); // the simulator's log of the bridge's last frames
        QCOMPARE(sim->received().mid(mark).contains("01KY0"), ours);
    }

    void forgedOwnerIsWrittenOver()
    {
        QVERIFY(serve("held", true));
        QTest::qWait(IdClaim::RaceMs); // past the moment a racing bridge's record still counts in
        MqttWatch results(broker.port(), "dosetta/held/result");
        QVERIFY(publish(broker.port(), "dosetta/held/owner",
                        R"({"host": "elsewhere", "pid": 1, "started": "2000-01-01T00:00:00Z"})",
                        true));
        const QByteArray mine = "\"pid\":" + QByteArray::number(bridge->processId());
        QVERIFY(retained(broker.port(), "dosetta/held/owner", mine).contains(mine));
        // Still serving: it answers, it is online, and its program still runs.
        publish(broker.port(), "dosetta/held/cmd", "program-continue", false, "still");
        const auto any = [](const QJsonObject &) {
            return true;
        };
        QCOMPARE(results.waitForObject("dosetta/held/result", any, "still").value("error"),
                 "the program is running");
        QCOMPARE(retained(broker.port(), "dosetta/held/availability"), "online");
        QCOMPARE(sim->received().mid(mark).filter("KY"), QStringList());
    }

    // A flood of stops costs the journal a line a second, with the count of those it stood for.
    void stopFloodIsCounted()
    {
        QVERIFY(serve("flood", false));
        MqttWatch results(broker.port(), "dosetta/flood/result");
        const int calls = 40;
        for (int i = 0; i < calls; ++i)
            publish(broker.port(), "dosetta/flood/cmd", "stop", false, QByteArray::number(i));
        const auto any = [](const QJsonObject &) {
            return true;
        };
        QVERIFY(!results.waitForObject("dosetta/flood/result", any, QByteArray::number(calls - 1))
                     .isEmpty());
        bridge->terminate();
        QVERIFY(bridge->waitForFinished(10000));
        const QStringList lines = QString::fromUtf8(bridge->readAllStandardError())
                                      .split(QLatin1Char('\n'))
                                      .filter(QStringLiteral("request cmd \"stop\""));
        int stood = 0;
        const QRegularExpression more(QStringLiteral("\\((\\d+) more in the last second\\)$"));
        for (const QString &line : lines) {
            const QRegularExpressionMatch m = more.match(line);
            stood += m.hasMatch() ? m.captured(1).toInt() : 1;
        }
        QCOMPARE(stood, calls);
        QVERIFY2(lines.size() <= 6, qPrintable(lines.join(QLatin1Char('\n'))));
    }

private:
    // Serves a fresh simulator as `id` until a program of the bridge's runs on it, or else its
    // motor moves as after a start at the keypad.
    bool serve(const QString &id, bool program)
    {
        sim = std::make_unique<SimProcess>(1, QStringList{"--speed", "20"});
        const QString root = "dosetta/" + id + "/";
        if (!sim->start())
            return false;
        bridge = startBridge(*sim, {"--broker", broker.url(), "--id", id, "--allow-control"});
        if (retained(broker.port(), root + "pump", "online") != "online")
            return false;
        if (program)
            publish(broker.port(), root + "program/run",
                    R"({"format": "dosetta-program/1", "name": "Long",
                        "steps": [{"run": {"rate_ml_min": 50, "for_s": 600}}]})");
        else
            sim->control("status 1 0 on");
        for (QDeadlineTimer until(15000); !until.hasExpired(); QTest::qWait(20)) {
            mark = sim->received().size();
            if (program ? sim->received().contains("01KY1")
                        : retained(broker.port(), root + "state", "running").contains("running"))
                return true;
        }
        return false;
    }

    MosquittoBroker broker;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<QProcess> bridge;
    int mark = 0; // the frames from when the pump runs on
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
    BridgeSession session(pump.core(), pump.runner(), QStringLiteral("test"));
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
