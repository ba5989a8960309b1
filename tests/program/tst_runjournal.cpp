// Every run on the journal, whoever started it and however it ended: the runner's own runs and
// those started outside it (the window's Start key, the pump's keypad), ended by a Stop from a
// front-end, the keypad, a pump error or by themselves. The run-end holds the cause, who stopped
// it and the pump's own final count.

#include "SimProcess.h"

#include "journal/Journal.h"
#include "journal/JournalReader.h"
#include "program/OutsideRuns.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

using Id = BusinessLogic::CommandSpezifier;
using Lane = BusinessLogic::Lane;

RequestOrigin origin(const char *frontEnd, const char *who)
{
    return {QLatin1String(frontEnd), QLatin1String(who), QString(), QString()};
}

// The last count the pump answered: once it stands, its final one.
qint64 lastCount(SimProcess &sim)
{
    static const QRegularExpression count(QStringLiteral("query \\?TV = (\\d+)"));
    qint64 last = -1;
    for (const SimLog::Entry &e : sim.log()) {
        const QRegularExpressionMatch m = count.match(e.line);
        if (e.direction == QLatin1String("rx") && m.hasMatch())
            last = m.captured(1).toLongLong();
    }
    return last;
}

} // namespace

class RunJournalTest : public QObject
{
    Q_OBJECT

private slots:
    void everyEndOnRecord_data();
    void everyEndOnRecord();
    void settingsOnRecord();
};

void RunJournalTest::everyEndOnRecord_data()
{
    QTest::addColumn<QString>("start"); // "program", "window", "keypad"
    QTest::addColumn<QString>("end");   // "bridge stop", "keypad stop", "error", "none"
    QTest::addColumn<QString>("origin");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("by"); // whose Stop, when one

    QTest::newRow("program, done") << "program"
                                   << "none"
                                   << "sila"
                                   << "done"
                                   << "";
    QTest::newRow("program, the bridge's Stop") << "program"
                                                << "bridge stop"
                                                << "sila"
                                                << "outside-stop"
                                                << "bridge";
    QTest::newRow("program, stopped at the keypad") << "program"
                                                    << "keypad stop"
                                                    << "sila"
                                                    << "other"
                                                    << "";
    QTest::newRow("program, pump error") << "program"
                                         << "error"
                                         << "sila"
                                         << "pump-error"
                                         << "";
    QTest::newRow("window Start, the bridge's Stop") << "window"
                                                     << "bridge stop"
                                                     << "window"
                                                     << "outside-stop"
                                                     << "bridge";
    QTest::newRow("window Start, pump error") << "window"
                                              << "error"
                                              << "window"
                                              << "pump-error"
                                              << "";
    QTest::newRow("keypad start, keypad stop") << "keypad"
                                               << "keypad stop"
                                               << "pump"
                                               << "other"
                                               << "";
    QTest::newRow("keypad start, the bridge's Stop") << "keypad"
                                                     << "bridge stop"
                                                     << "pump"
                                                     << "outside-stop"
                                                     << "bridge";
}

void RunJournalTest::everyEndOnRecord()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, origin);
    QFETCH(QString, cause);
    QFETCH(QString, by);

    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("journal.sqlite"));
    SimProcess sim(1, {QStringLiteral("--speed"), QStringLiteral("20")});
    QVERIFY(sim.start());
    {
        Journal journal(file);
        PumpCore core;
        ProgramRunner runner(core);
        core.attachJournal(&journal, QStringLiteral("sim:1"));
        core.setOrigin(::origin("window", "operator"));
        core.link().setAddress(1);
        core.link().setCommPortName(sim.devicePath());
        QVERIFY(QTest::qWaitFor([&] { return core.linkState().connected(); }, 5000));

        ProgramStep step;
        step.kind = ProgramStep::Kind::Dose;
        step.volumeMl = end == "none" ? 0.5 : 50;
        step.rateMlMin = 30;
        if (start == "program")
            QVERIFY(runner.start({QStringLiteral("dose"), {step}}, ::origin("sila", "client-1")));
        else if (start == "window")
            core.submit(Lane::Operator, Id::Start, 0);
        else
            sim.control("key start");
        // Pumping, and seen so.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return runner.status().active() ||
                       runner.outside().status().state == ProgramStatus::State::Running;
            },
            10000));
        QTest::qWait(1500);
        if (end == "bridge stop") {
            const PumpCore::OriginScope scope(core, ::origin("bridge", "lab-3"));
            core.stop();
        } else if (end == "keypad stop") {
            sim.control("key stop");
        } else if (end == "error") {
            sim.control("error overpressure on");
        }
        QVERIFY(QTest::qWaitFor(
            [&] {
                return start == "program" ? runner.status().ended()
                                          : runner.outside().status().ended();
            },
            15000));
        QVERIFY(journal.flush(5000));
    }
    JournalReader reader(file);
    QVERIFY2(reader.open(), qPrintable(reader.problem()));
    const QVector<JournalRun> runs = reader.runs(JournalFilter());
    QCOMPARE(runs.size(), 1);
    const JournalRun &run = runs.front();
    QVERIFY(!run.open());
    QCOMPARE(run.start.origin, origin);
    QCOMPARE(run.start.pump, QStringLiteral("sim:1"));
    QCOMPARE(run.end.fields.value(QStringLiteral("cause")).toString(), cause);
    QCOMPARE(run.end.fields.value(QStringLiteral("by"))
                 .toObject()
                 .value(QStringLiteral("front_end"))
                 .toString(),
             by);
    QVERIFY(run.end.fields.value(QStringLiteral("final_count_read")).toBool());
    QCOMPARE(std::llround(run.end.fields.value(QStringLiteral("volume_ml")).toDouble() * 1000),
             lastCount(sim));
    if (cause == QLatin1String("pump-error"))
        QVERIFY(!run.end.fields.value(QStringLiteral("flags")).toArray().isEmpty());
    QVERIFY(reader.verify().intact());
}

// A setting from a front-end is on record with its origin, the value before and after, and the
// pump's verdict; one the pump refuses keeps its value before.
void RunJournalTest::settingsOnRecord()
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("journal.sqlite"));
    SimProcess sim(1, {QStringLiteral("--speed"), QStringLiteral("20")});
    QVERIFY(sim.start());
    {
        Journal journal(file);
        PumpCore core;
        core.attachJournal(&journal, QStringLiteral("sim:1"));
        core.link().setAddress(1);
        core.link().setCommPortName(sim.devicePath());
        QVERIFY(QTest::qWaitFor([&] { return core.linkState().connected(); }, 5000));
        QTest::qWait(1500); // a round of polls: the flow rate is known
        {
            const PumpCore::OriginScope scope(core, ::origin("bridge", "lab-3"));
            core.submit(Lane::Remote, Id::SetFlowRate, 12500);
        }
        // Above the pump's limit: refused.
        core.submit(Lane::Operator, Id::SetFlowRate, 999999);
        QVERIFY(
            QTest::qWaitFor([&] { return core.stack().queuedCount(Lane::Operator) == 0; }, 5000));
        QTest::qWait(500);
        QVERIFY(journal.flush(5000));
    }
    JournalReader reader(file);
    QVERIFY(reader.open());
    JournalFilter settings;
    settings.kind = QStringLiteral("setting");
    const QVector<JournalEntry> entries = reader.entries(settings);
    QCOMPARE(entries.size(), 2);
    // The operator's lane goes first: the refused one may come before.
    const bool bridgeFirst = entries[0].origin == QLatin1String("bridge");
    const JournalEntry &taken = entries[bridgeFirst ? 0 : 1];
    const JournalEntry &refused = entries[bridgeFirst ? 1 : 0];
    QCOMPARE(taken.origin, QStringLiteral("bridge"));
    QCOMPARE(taken.who, QStringLiteral("lab-3"));
    QCOMPARE(taken.fields.value(QStringLiteral("key")).toString(), QStringLiteral("flow-rate"));
    QCOMPARE(taken.fields.value(QStringLiteral("after")).toDouble(), 12.5);
    QCOMPARE(taken.fields.value(QStringLiteral("verdict")).toString(), QStringLiteral("accepted"));
    QVERIFY(taken.fields.value(QStringLiteral("before")).isDouble());
    // No origin set: still on record, with an empty one.
    QCOMPARE(refused.origin, QString(""));
    QCOMPARE(refused.fields.value(QStringLiteral("verdict")).toString(), QStringLiteral("refused"));
    QCOMPARE(refused.fields.value(QStringLiteral("after")),
             refused.fields.value(QStringLiteral("before")));
}

QTEST_GUILESS_MAIN(RunJournalTest)
#include "tst_runjournal.moc"
