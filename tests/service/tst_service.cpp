// Several pumps in one dosetta-cli serve, from one configuration file, against real simulators
// and a real mosquitto: each pump publishes on its own, a reload takes a pump added or removed
// without a gap in the others' polling, and a file with an error leaves the pumps as they were.
#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTime>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace MqttRig;

namespace {

// The refresh tick is 700 ms; a gap of four ticks is a pump that stopped being polled.
constexpr qint64 MaxGapMs = 2800;

QByteArray section(const QString &name, const SimProcess &sim)
{
    return QStringLiteral("[pump %1]\nport = %2\naddress = %3\n")
        .arg(name, sim.devicePath())
        .arg(sim.address())
        .toUtf8();
}

// The longest pause between frames the pump received from fromMs (local time of day) on.
qint64 longestPause(SimProcess &sim, qint64 fromMs)
{
    qint64 longest = 0;
    qint64 last = fromMs;
    for (const SimLog::Entry &entry : SimLog::receivedEntries(sim.log())) {
        if (entry.ms < fromMs)
            continue;
        longest = std::max(longest, entry.ms - last);
        last = entry.ms;
    }
    return longest;
}

} // namespace

class TestService : public QObject
{
    Q_OBJECT

private:
    bool write(const QByteArray &text)
    {
        QFile file(configPath);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(text) == text.size();
    }
    // Waits for a line of the service's standard error that holds text.
    bool said(const QString &text, int timeoutMs = 15000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            errors += QString::fromUtf8(service->readAllStandardError());
            if (errors.contains(text))
                return true;
            if (deadline.hasExpired())
                return false;
            QTest::qWait(50);
        }
    }

    MosquittoBroker broker;
    QTemporaryDir dir;
    QString configPath;
    std::unique_ptr<QProcess> service;
    QString errors;

private slots:
    void initTestCase() { QVERIFY(broker.start()); }
    void cleanup()
    {
        if (service && service->state() != QProcess::NotRunning) {
            service->kill();
            service->waitForFinished(5000);
        }
    }

    void pumpsComeAndGoWithoutAGap()
    {
        SimProcess one(1);
        SimProcess two(2);
        SimProcess three(3);
        QVERIFY(one.start() && two.start() && three.start());
        configPath = dir.filePath(QStringLiteral("dosetta.conf"));
        const QByteArray shared = "# what every pump shares\nbroker = " + broker.url().toUtf8() +
                                  "\ntopic-prefix = lab\n";
        QVERIFY(write(shared + section("one", one) + section("two", two)));
        service = std::make_unique<QProcess>();
        service->start(QStringLiteral(DOSETTA_CLI_PROGRAM), {"serve", "--config", configPath});
        QVERIFY(service->waitForStarted());
        for (const char *root : {"lab/one/", "lab/two/"})
            QCOMPARE(retained(broker.port(), QLatin1String(root) + "availability", "online"),
                     QByteArray("online"));
        QCOMPARE(retained(broker.port(), "lab/one/pump", "online"), QByteArray("online"));
        QCOMPARE(retained(broker.port(), "lab/two/pump", "online"), QByteArray("online"));

        // A third pump: the other two go on polling while it starts.
        QTest::qWait(1500);
        const qint64 reloaded = QTime::currentTime().msecsSinceStartOfDay();
        // It is a SiLA server too, with a certificate of its own made as it starts.
        QVERIFY(write(shared + section("one", one) + section("two", two) + section("three", three) +
                      "sila = 127.0.0.1:0\n"));
        ::kill(pid_t(service->processId()), SIGHUP);
        QCOMPARE(retained(broker.port(), "lab/three/pump", "online"), QByteArray("online"));
        QTRY_VERIFY_WITH_TIMEOUT(service->canReadLine(), 10000);
        QVERIFY(service->readLine().startsWith("pump three: serving SiLA 2 (TLS, self-signed"));
        QVERIFY2(said("reloaded: started three; stopped none; unchanged one, two"),
                 qPrintable(errors));
        QTest::qWait(1500);
        QVERIFY2(longestPause(one, reloaded) < MaxGapMs,
                 qPrintable(QString::number(longestPause(one, reloaded))));
        QVERIFY2(longestPause(two, reloaded) < MaxGapMs,
                 qPrintable(QString::number(longestPause(two, reloaded))));

        // A file with an error: said with its line, and every pump goes on.
        QVERIFY(write(shared + section("one", one) + "colour = red\n"));
        ::kill(pid_t(service->processId()), SIGHUP);
        QVERIFY2(said(configPath + ":7: unknown key \"colour\""), qPrintable(errors));
        QVERIFY2(said("reload refused; the pumps served stay as they were"), qPrintable(errors));
        const int before = three.received().size();
        QVERIFY(three.waitForReceived(before + 5, 5000));
        QCOMPARE(retained(broker.port(), "lab/two/availability"), QByteArray("online"));

        // A pump removed: it says "offline", and the others run on.
        QVERIFY(
            write(shared + section("one", one) + section("three", three) + "sila = 127.0.0.1:0\n"));
        ::kill(pid_t(service->processId()), SIGHUP);
        QCOMPARE(retained(broker.port(), "lab/two/availability", "offline"), QByteArray("offline"));
        QVERIFY2(said("reloaded: started none; stopped two; unchanged one, three"),
                 qPrintable(errors));
        const int seen = one.received().size();
        QVERIFY(one.waitForReceived(seen + 5, 5000));

        ::kill(pid_t(service->processId()), SIGTERM);
        QVERIFY(service->waitForFinished(15000));
        QCOMPARE(service->exitStatus(), QProcess::NormalExit);
        QCOMPARE(service->exitCode(), 0);
        for (const char *root : {"lab/one/", "lab/three/"})
            QCOMPARE(retained(broker.port(), QLatin1String(root) + "availability", "offline"),
                     QByteArray("offline"));
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
