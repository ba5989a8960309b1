// Several pumps in one dosetta-cli serve, from one configuration file, against real simulators
// and a real mosquitto: each pump publishes on its own, a reload takes a pump added or removed
// without a gap in the others' polling, and a file with an error leaves the pumps as they were.
// The service runs programs across its pumps from its own topics, with the interlock between
// pumps on threads of their own; receipt stamps for timing requests from outside come only when
// asked for.
#include "MosquittoBroker.h"
#include "MqttRig.h"
#include "MqttWatch.h"
#include "SimProcess.h"

#include "journal/JournalEntry.h"
#include "journal/JournalReader.h"

#include <QDateTime>
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

// When the simulator first received that frame at or after fromMs; -1 when it did not.
qint64 firstFrame(SimProcess &sim, const QString &body, qint64 fromMs)
{
    for (const SimLog::Entry &entry : sim.log())
        if (entry.direction == QLatin1String("rx") && entry.body == body && entry.ms >= fromMs)
            return entry.ms;
    return -1;
}

// Two pumps' program: a parallel step, then a gradient long enough to fail in.
QByteArray program(const char *pumps)
{
    return QByteArray(R"({"format": "dosetta-program/1", "name": "mix", "pumps": )") + pumps +
           R"(, "steps": [
        {"parallel": {"A": [{"run": {"rate_ml_min": 10, "for_s": 20}}],
                      "B": [{"dose": {"volume_ml": 1, "rate_ml_min": 30}}]}},
        {"gradient": {"pumps": ["A", "B"], "total_ml_min": 20, "from_percent": 80,
                      "to_percent": 20, "for_s": 600, "steps": 6}}]})";
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

    void programsAcrossPumps()
    {
        const QStringList fast{QStringLiteral("--speed"), QStringLiteral("20")};
        SimProcess a(1, fast);
        SimProcess b(2, fast);
        QVERIFY(a.start() && b.start());
        configPath = dir.filePath(QStringLiteral("programs.conf"));
        const QString journalPath = dir.filePath(QStringLiteral("journal.sqlite"));
        QVERIFY(write("broker = " + broker.url().toUtf8() +
                      "\ntopic-prefix = lab\nservice = bench\nallow-control = yes\n" +
                      section("A", a) + section("B", b)));
        MqttWatch watch(broker.port(), QStringLiteral("lab/bench/#"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DOSETTA_JOURNAL"), journalPath);
        service = std::make_unique<QProcess>();
        service->setProcessEnvironment(environment);
        service->start(QStringLiteral(DOSETTA_CLI_PROGRAM), {"serve", "--config", configPath});
        QVERIFY(service->waitForStarted());
        QCOMPARE(retained(broker.port(), "lab/bench/availability", "online"), QByteArray("online"));
        QCOMPARE(retained(broker.port(), "lab/A/pump", "online"), QByteArray("online"));
        QCOMPARE(retained(broker.port(), "lab/B/pump", "online"), QByteArray("online"));
        const auto answer = [&](const QString &correlation) {
            return watch.waitForObject(
                QStringLiteral("lab/bench/result"), [](const QJsonObject &) { return true; },
                correlation);
        };

        // A pump the service does not serve: refused, and neither pump is set going.
        const qint64 before = QTime::currentTime().msecsSinceStartOfDay();
        QVERIFY(publish(broker.port(), "lab/bench/program/run",
                        program(R"(["A", "C"])").replace(R"("B")", R"("C")"), false, "unknown"));
        const QJsonObject refused = answer(QStringLiteral("unknown"));
        QCOMPARE(refused.value("ok").toBool(true), false);
        QVERIFY2(refused.value("error").toString().contains(
                     "the program's pump \"C\" is not served here; the service serves A, B"),
                 qPrintable(refused.value("error").toString()));
        QTest::qWait(1000);
        for (SimProcess *sim : {&a, &b})
            QCOMPARE(firstFrame(*sim, QStringLiteral("01KY1"), before), qint64(-1));

        // Each pump's share of the parallel step and of the gradient reaches its own line.
        QVERIFY(publish(broker.port(), "lab/bench/program/run", program(R"(["A", "B"])"), false,
                        "mix"));
        const QJsonObject started = answer(QStringLiteral("mix"));
        QVERIFY2(started.value("ok").toBool(), qPrintable(started.value("error").toString()));
        const QString programId = started.value("program_id").toString();
        QTRY_VERIFY_WITH_TIMEOUT(b.received().contains(QStringLiteral("02RV00004000")), 20000);
        // The fault comes once B runs its share, not between its rate and its start.
        const qint64 share = firstFrame(b, QStringLiteral("02RV00004000"), 0);
        QTRY_VERIFY(firstFrame(b, QStringLiteral("02KY1"), share) >= 0);
        QTest::qWait(300);
        QVERIFY(a.received().contains(QStringLiteral("01RV00010000")));
        QVERIFY(a.received().contains(QStringLiteral("01RV00016000")));
        QVERIFY(b.received().contains(QStringLiteral("02RV00030000")));

        // An error at B stops A within a second of B's own Stop, and the state names B's error.
        const qint64 fault = QTime::currentTime().msecsSinceStartOfDay();
        b.control("error overpressure on");
        const QJsonObject failed = watch.waitForObject(
            QStringLiteral("lab/bench/program"),
            [](const QJsonObject &o) { return o.value("state").toString() == "failed"; }, QString(),
            0, 15000);
        QCOMPARE(failed.value("cause_pump").toString(), QStringLiteral("B"));
        QCOMPARE(failed.value("cause").toString(), QStringLiteral("pump-error"));
        // The flag's name when the runner read it before the end; the error either way.
        QVERIFY2(failed.value("reason").toString().startsWith("B: the pump reports an error"),
                 qPrintable(failed.value("reason").toString()));
        const QJsonObject runs = failed.value("pumps").toObject();
        QCOMPARE(runs.value("B").toObject().value("cause").toString(),
                 QStringLiteral("pump-error"));
        QCOMPARE(runs.value("A").toObject().value("state").toString(), QStringLiteral("stopped"));
        const qint64 stopB = firstFrame(b, QStringLiteral("02KY0"), fault);
        const qint64 stopA = firstFrame(a, QStringLiteral("01KY0"), fault);
        QVERIFY2(stopB >= 0 && stopA >= 0 && stopA - stopB < 1000,
                 qPrintable(QStringLiteral("B %1, A %2").arg(stopB).arg(stopA)));

        ::kill(pid_t(service->processId()), SIGTERM);
        QVERIFY(service->waitForFinished(15000));
        QCOMPARE(retained(broker.port(), "lab/bench/availability", "offline"),
                 QByteArray("offline"));

        // On record: the refusal, the program under the client's correlation, a run per pump.
        JournalReader reader(journalPath);
        QVERIFY2(reader.open(), qPrintable(reader.problem()));
        QStringList seen;
        for (const JournalEntry &e : reader.entries(JournalFilter())) {
            if (e.origin != QLatin1String("bridge") || e.who != QLatin1String("bench"))
                continue;
            if (e.kind == QLatin1String(JournalEntry::Kind::Program))
                seen << QStringLiteral("program %1 %2")
                            .arg(e.fields.value("request").toString(),
                                 e.fields.value("program_id").toString() == programId ? "ok" : "?");
            else if (e.kind == QLatin1String(JournalEntry::Kind::Refused))
                seen << QStringLiteral("refused ") + e.fields.value("request").toString();
        }
        QCOMPARE(seen, (QStringList{"refused unknown", "program mix ok"}));
        int runsOfProgram = 0;
        for (const JournalRun &run : reader.runs(JournalFilter()))
            runsOfProgram += run.start.fields.value("request").toString() == programId ? 1 : 0;
        QCOMPARE(runsOfProgram, 2);
    }

    void receiptStampsOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("asked");
        QTest::newRow("DOSETTA_RECEIPT_STAMPS=1") << true;
        QTest::newRow("not in the environment") << false;
    }
    // Each pump's thread stamps its own sets, on the system clock, one whole line each.
    void receiptStampsOnlyWhenAsked()
    {
        QFETCH(bool, asked);
        SimProcess one(1);
        SimProcess two(2);
        QVERIFY(one.start() && two.start());
        configPath = dir.filePath(QStringLiteral("stamps.conf"));
        QVERIFY(write("broker = " + broker.url().toUtf8() + "\nallow-control = yes\n" +
                      section("s1", one) + section("s2", two)));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DOSETTA_RECEIPT_STAMPS"));
        if (asked)
            env.insert(QStringLiteral("DOSETTA_RECEIPT_STAMPS"), QStringLiteral("1"));
        service = std::make_unique<QProcess>();
        service->setProcessEnvironment(env);
        service->start(QStringLiteral(DOSETTA_CLI_PROGRAM), {"serve", "--config", configPath});
        for (const char *pump : {"s1", "s2"})
            QCOMPARE(retained(broker.port(), QStringLiteral("dosetta/%1/availability").arg(pump),
                              "online"),
                     QByteArray("online"));
        MqttWatch results(broker.port(), QStringLiteral("dosetta/+/result"));
        const double from = double(QDateTime::currentMSecsSinceEpoch());
        QVERIFY(publish(broker.port(), "dosetta/s1/set/flow-rate", "12.5", false, "set one"));
        QVERIFY(publish(broker.port(), "dosetta/s2/set/flow-rate", "13.5", false, "set-two"));
        for (const char *pump : {"s1", "s2"})
            QVERIFY(!results
                         .waitFor(
                             QStringLiteral("dosetta/%1/result").arg(pump),
                             [](const QByteArray &) { return true; },
                             pump == QByteArray("s1") ? "set one" : "set-two")
                         .isEmpty());
        const double to = double(QDateTime::currentMSecsSinceEpoch()) + 1;

        // The stamp is written before the set is handled, so it has come with the result.
        QTest::qWait(200);
        errors = QString::fromUtf8(service->readAllStandardError());
        QStringList stamps;
        for (const QString &line : errors.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("receipt ")))
                stamps << line;
        }
        if (!asked) {
            QVERIFY2(stamps.isEmpty(), qPrintable(stamps.join('\n')));
            return;
        }
        for (const QString &expected : {QStringLiteral("dosetta/s1/set/flow-rate set%20one"),
                                        QStringLiteral("dosetta/s2/set/flow-rate set-two")}) {
            const QStringList found = stamps.filter(QLatin1Char(' ') + expected);
            QCOMPARE(found.size(), 1);
            const QStringList fields = found.first().split(QLatin1Char(' '));
            QCOMPARE(fields.size(), 4);
            bool number = false;
            const double at = fields.at(1).toDouble(&number);
            QVERIFY(number);
            QVERIFY2(at >= from && at <= to, qPrintable(QStringLiteral("%1 not within %2..%3")
                                                            .arg(fields.at(1))
                                                            .arg(from, 0, 'f', 0)
                                                            .arg(to, 0, 'f', 0)));
        }
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
