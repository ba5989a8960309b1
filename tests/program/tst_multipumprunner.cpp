// A program over two pumps against two simulators at twenty times their speed: each pump's share
// of a parallel step and a gradient in the frames it received, the stages in their order, the
// interlock that stops the other pump when one is stopped or fails, and the journal's one entry
// for the program with a run per pump.

#include "SimProcess.h"

#include "journal/Journal.h"
#include "journal/JournalReader.h"
#include "program/MultiPumpRunner.h"
#include "program/ProgramFile.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

using State = ProgramStatus::State;

// A pump on a simulator of its own: the core polled, its runner beside it.
struct Station
{
    Station()
        : sim(1, {QStringLiteral("--speed"), QStringLiteral("20")})
    {}

    bool start(Journal &journal, const QString &id)
    {
        if (!sim.start())
            return false;
        core.attachJournal(&journal, id);
        core.link().setAddress(1);
        core.link().setCommPortName(sim.devicePath());
        return QTest::qWaitFor([this] { return core.linkState().connected(); }, 5000);
    }

    // The frames that set a flow rate, in order.
    QStringList rates()
    {
        return sim.received().filter(QRegularExpression(QStringLiteral("^01RV")));
    }

    // The frames that are no queries: what was set and started.
    QStringList actions()
    {
        QStringList frames;
        for (const QString &body : sim.received())
            if (!body.startsWith(QLatin1String("01?")))
                frames << body;
        return frames;
    }

    // When the simulator received that frame first (ms on its log's clock), at or after from;
    // -1 when it did not.
    qint64 first(const QString &body, qint64 from = 0)
    {
        for (const SimLog::Entry &e : sim.log())
            if (e.direction == QLatin1String("rx") && e.body == body && e.ms >= from)
                return e.ms;
        return -1;
    }

    SimProcess sim;
    PumpCore core;
    ProgramRunner runner{core};
};

struct Rig
{
    Rig()
        : journal(dir.filePath(QStringLiteral("journal.sqlite")))
    {}

    bool start()
    {
        if (!a.start(journal, QStringLiteral("simA:1")) ||
            !b.start(journal, QStringLiteral("simB:1")))
            return false;
        runner = std::make_unique<MultiPumpRunner>(std::map<QString, MultiPumpRunner::Pump>{
            {QStringLiteral("A"), {a.core, a.runner}}, {QStringLiteral("B"), {b.core, b.runner}}});
        return true;
    }

    Station &station(const QString &name) { return name == QLatin1String("A") ? a : b; }

    QTemporaryDir dir;
    Journal journal;
    Station a;
    Station b;
    std::unique_ptr<MultiPumpRunner> runner;
};

DosingProgram read(const QByteArray &steps)
{
    return ProgramFile::read(
               R"({"format": "dosetta-program/1", "name": "mix", "pumps": ["A", "B"], "steps": [)" +
               steps + "]}")
        .program;
}

const RequestOrigin Cli{QStringLiteral("cli"), QStringLiteral("tester"), QString(), QString()};

} // namespace

class MultiPumpRunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void sharesInOrderAndOnRecord();
    void interlock_data();
    void interlock();
};

void MultiPumpRunnerTest::sharesInOrderAndOnRecord()
{
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(rig.runner.get(), &MultiPumpRunner::ended);
    // A runs for a second of wall time, B doses for a tenth: the gradient waits for A.
    const DosingProgram program =
        read(R"({"parallel": {"A": [{"run": {"rate_ml_min": 10, "for_s": 20}}],
                              "B": [{"dose": {"volume_ml": 1, "rate_ml_min": 30}}]}},
                {"gradient": {"pumps": ["A", "B"], "total_ml_min": 20, "from_percent": 80,
                              "to_percent": 20, "for_s": 60, "steps": 6}})");
    QVERIFY(!program.steps.empty());
    QString why;
    QVERIFY2(rig.runner->start(program, Cli, &why), qPrintable(why));
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
    const MultiPumpStatus status = rig.runner->status();
    QVERIFY2(status.state == State::Done, qPrintable(status.reason));

    QCOMPARE(rig.a.rates(),
             (QStringList{"01RV00010000", "01RV00016000", "01RV00013600", "01RV00011200",
                          "01RV00008800", "01RV00006400", "01RV00004000"}));
    QCOMPARE(rig.b.rates(),
             (QStringList{"01RV00030000", "01RV00004000", "01RV00006400", "01RV00008800",
                          "01RV00011200", "01RV00013600", "01RV00016000"}));
    // B's share of the gradient began once A's run of 20 s (1 s here) was over, not after its
    // own dose.
    const qint64 aRun = rig.a.first(QStringLiteral("01RV00010000"));
    const qint64 bGradient = rig.b.first(QStringLiteral("01RV00004000"));
    QVERIFY(aRun >= 0 && bGradient >= 0);
    QVERIFY2(bGradient - aRun >= 1000, qPrintable(QString::number(bGradient - aRun)));

    // Each pump's volume is its own count: 10 ml/min for 20 s and the gradient's 20 ml/min for a
    // minute shared, 1 ml and the rest of the gradient.
    QVERIFY2(qAbs(status.volumeMl(QStringLiteral("A")) - (10.0 / 3 + 10)) < 0.05,
             qPrintable(QString::number(status.volumeMl(QStringLiteral("A")))));
    QVERIFY2(qAbs(status.volumeMl(QStringLiteral("B")) - 11) < 0.05,
             qPrintable(QString::number(status.volumeMl(QStringLiteral("B")))));

    // The journal: the program once, with the pumps it was bound to, and one run per pump whose
    // request is the program's id.
    QVERIFY(rig.journal.flush(5000));
    JournalReader reader(rig.journal.path());
    QVERIFY2(reader.open(), qPrintable(reader.problem()));
    JournalFilter programs;
    programs.kind = QLatin1String(JournalEntry::Kind::Program);
    const QVector<JournalEntry> entries = reader.entries(programs);
    QCOMPARE(entries.size(), 1);
    const QJsonObject fields = entries.front().fields;
    QCOMPARE(fields.value("name").toString(), QStringLiteral("mix"));
    QCOMPARE(fields.value("program_id").toString(), status.programId);
    QCOMPARE(fields.value("pumps").toObject(), (QJsonObject{{"A", "simA:1"}, {"B", "simB:1"}}));
    const QVector<JournalRun> runs = reader.runs(JournalFilter());
    QCOMPARE(runs.size(), 2);
    QStringList pumps;
    for (const JournalRun &run : runs) {
        pumps << run.start.pump;
        QCOMPARE(run.start.fields.value("request").toString(), status.programId);
        QCOMPARE(run.end.fields.value("cause").toString(), QStringLiteral("done"));
    }
    pumps.sort();
    QCOMPARE(pumps, (QStringList{"simA:1", "simB:1"}));
}

void MultiPumpRunnerTest::interlock_data()
{
    QTest::addColumn<QString>("pump"); // where it starts
    QTest::addColumn<QString>("what"); // "core stop", "runner stop", or a line for the simulator
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("cause");

    QTest::newRow("a pump error at B")
        << "B"
        << "error overpressure on" << int(State::Failed) << "pump-error";
    QTest::newRow("a Stop to A from outside")
        << "A"
        << "core stop" << int(State::Stopped) << "outside-stop";
    QTest::newRow("B's runner stopped on its own")
        << "B"
        << "runner stop" << int(State::Stopped) << "program-stop";
}

// Whichever pump stops first, the other gets its Stop within a second, and the program ends with
// that pump's cause.
void MultiPumpRunnerTest::interlock()
{
    QFETCH(QString, pump);
    QFETCH(QString, what);
    QFETCH(int, state);
    QFETCH(QString, cause);
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(rig.runner.get(), &MultiPumpRunner::ended);
    QVERIFY(
        rig.runner->start(read(R"({"parallel": {"A": [{"run": {"rate_ml_min": 10, "for_s": 600}}],
                              "B": [{"run": {"rate_ml_min": 10, "for_s": 600}}]}})"),
                          Cli));
    Station &first = rig.station(pump);
    Station &other =
        rig.station(pump == QLatin1String("A") ? QStringLiteral("B") : QStringLiteral("A"));
    const QString start = QStringLiteral("01KY1");
    QTRY_VERIFY_WITH_TIMEOUT(first.first(start) >= 0 && other.first(start) >= 0, 10000);
    QTest::qWait(500);

    if (what == QLatin1String("core stop"))
        first.core.stop();
    else if (what == QLatin1String("runner stop"))
        first.runner.stop();
    else
        first.sim.control(what.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 15000);

    const QString stop = QStringLiteral("01KY0");
    const qint64 stoppedFirst = first.first(stop);
    const qint64 stoppedOther = other.first(stop);
    QVERIFY(stoppedFirst >= 0 && stoppedOther >= 0);
    QVERIFY2(stoppedOther - stoppedFirst < 1000,
             qPrintable(QStringLiteral("%1 ms").arg(stoppedOther - stoppedFirst)));
    // Nothing started again after the Stop.
    QCOMPARE(other.actions().count(start), 1);
    QCOMPARE(other.actions().constLast(), stop);

    const MultiPumpStatus status = rig.runner->status();
    QCOMPARE(int(status.state), state);
    QCOMPARE(ProgramStatus::causeName(status.cause), cause);
    QCOMPARE(status.causePump, pump);
    QVERIFY2(status.reason.startsWith(pump + QLatin1String(": ")), qPrintable(status.reason));
    const ProgramStatus &stopped =
        status.runs.at(&other == &rig.a ? QStringLiteral("A") : QStringLiteral("B"));
    QCOMPARE(stopped.state, State::Stopped);
    QCOMPARE(stopped.cause, ProgramStatus::Cause::ProgramStop);
}

QTEST_GUILESS_MAIN(MultiPumpRunnerTest)
#include "tst_multipumprunner.moc"
