// The program runner on the pump core against the simulator at twenty times its speed: the frames,
// how each way of ending a program leaves the pump, and the recorder's program columns.

#include "SimProcess.h"

#include "program/ProgramFile.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "recorder/CsvRecorder.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <optional>
#include <tuple>

Q_DECLARE_METATYPE(ProgramStep)

namespace {

using State = ProgramStatus::State;

ProgramStep dose(double volumeMl, double rateMlMin)
{
    ProgramStep s;
    s.kind = ProgramStep::Kind::Dose;
    s.volumeMl = volumeMl;
    s.rateMlMin = rateMlMin;
    return s;
}

ProgramStep run(double rateMlMin, double forS)
{
    ProgramStep s;
    s.kind = ProgramStep::Kind::Run;
    s.rateMlMin = rateMlMin;
    s.forS = forS;
    return s;
}

ProgramStep ramp(double fromMlMin, double toMlMin, double forS, int steps)
{
    ProgramStep s;
    s.kind = ProgramStep::Kind::Ramp;
    s.fromMlMin = fromMlMin;
    s.toMlMin = toMlMin;
    s.forS = forS;
    s.rampSteps = steps;
    return s;
}

ProgramStep prime(double forS)
{
    ProgramStep s = ProgramStep::prime();
    s.forS = forS;
    return s;
}

// The frames that are no queries: what the program set and started.
QStringList actions(SimProcess &sim)
{
    QStringList frames;
    for (const QString &body : sim.received()) {
        if (!body.startsWith(QLatin1String("01?")))
            frames << body;
    }
    return frames;
}

// The simulator and a polled pump core on its line.
struct Rig
{
    explicit Rig(const QStringList &extra = {})
        : sim(1, QStringList{QStringLiteral("--speed"), QStringLiteral("20")} + extra)
    {}

    bool start(const QString &port = {})
    {
        if (!sim.start())
            return false;
        core.link().setAddress(1);
        core.link().setCommPortName(port.isEmpty() ? sim.devicePath() : port);
        return QTest::qWaitFor([this] { return core.linkState().connected(); }, 5000);
    }

    // A run, then a dose that must never start; with pump, true once the pump doses in the run.
    bool startLong(bool pump = true)
    {
        return runner().start({QStringLiteral("long"), {run(10, 600), dose(1, 10)}}) &&
               (!pump || pumping());
    }

    // Until a sample after the start shows the pump moving with some volume delivered.
    bool pumping()
    {
        bool seen = false;
        auto c = QObject::connect(&core, &PumpCore::sampled, [&seen](const ProcessSample &s) {
            seen = seen || (s.running() && s.volumeDelivered.value_or(0) > 0);
        });
        const bool ok = QTest::qWaitFor([&seen] { return seen; }, 10000);
        QObject::disconnect(c);
        return ok;
    }

    ProgramRunner &runner() { return programRunner; }

    // Until the pump took starts Starts and a sample since shows it moving.
    bool pumpingInRun(int starts)
    {
        const auto took = [&] {
            return actions(sim).count(QStringLiteral("01KY1")) >= starts;
        };
        return QTest::qWaitFor(took, 20000) && pumping();
    }

    // The pump's count (thousandths of a ml) over the runs since from; with settle, once it
    // answered a count after the end (it stands then, and the log is complete up to there).
    qint64 pumpsCount(bool settle = true, std::size_t from = 0)
    {
        const int answered = SimLog::countsAnswered(sim.log());
        if (settle &&
            !QTest::qWaitFor([&] { return SimLog::countsAnswered(sim.log()) > answered; }, 5000))
            return -1;
        return SimLog::runsTotal(sim.log(), from);
    }

    SimProcess sim;
    PumpCore core;
    ProgramRunner programRunner{core};
};

} // namespace

class ProgramRunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void exampleRunsAsWritten();
    void timedRunsReportThePumpsLastCount();
    void pauseAndContinueMidDose();
    void stopMidStep_data();
    void stopMidStep();
    void pumpErrorMidStep();
    void linkHungUpMidStep();
    void endsWithThePumpsCount_data();
    void endsWithThePumpsCount();
    void stoppedRampLeavesNothingToTheNext();
    void releasedRunGoesOnUnstopped_data();
    void releasedRunGoesOnUnstopped();
    void timedPrime_data();
    void timedPrime();
};

void ProgramRunnerTest::exampleRunsAsWritten()
{
    Rig rig;
    QVERIFY(rig.start());
    QTemporaryDir dir;
    CsvRecorder recorder;
    QVERIFY(recorder.start(dir.filePath(QStringLiteral("run.csv"))));
    QObject::connect(&rig.core, &PumpCore::sampled, &recorder, &CsvRecorder::write);

    // What the pump reported at each step's end, against the volume asked for.
    QList<double> delivered;
    double before = 0;
    QObject::connect(&rig.runner(), &ProgramRunner::stepFinished, [&](const ProgramStatus &s) {
        delivered << s.volumeMl - before;
        before = s.volumeMl;
    });
    QObject::connect(&rig.runner(), &ProgramRunner::statusChanged, [&](const ProgramStatus &s) {
        if (s.state == State::WaitingForOperator)
            QTimer::singleShot(0, &rig.runner(), [&rig] { rig.runner().continuePrompt(); });
    });
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);

    const int before0 = actions(rig.sim).size();
    QVERIFY(rig.runner().start(ProgramFile::load(QStringLiteral(EXAMPLE_PROGRAM)).program));
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
    QCOMPARE(rig.runner().status().state, State::Done);
    QCOMPARE(rig.runner().status().position, 11);

    // Mode, one dose per start, values, dispense time and start for each pump step, nothing during
    // waits and the prompt. 0.2 ml at 60 ml/min is under half a second: full flow, dispense time 0.
    const QStringList shortDose{"01MS1",        "01DN00001",    "01DV00000200",
                                "01RV00060000", "01DT00000000", "01KY1"};
    QStringList expected{"01MS1",        "01DN00001",    "01DV00000500",
                         "01RV00030000", "01DT00000100", "01KY1"};
    for (int i = 0; i < 3; ++i)
        expected << shortDose;
    expected << QStringList{"01MS0", "01DN00001", "01RV00010000", "01DT00000500", "01KY1"};
    for (const char *rate : {"01RV00005000", "01RV00010000", "01RV00015000", "01RV00020000"})
        expected << QStringList{"01MS0", "01DN00001", QString::fromLatin1(rate), "01DT00001500",
                                "01KY1"};
    QCOMPARE(actions(rig.sim).mid(before0), expected);

    // dose, wait, three times dose and wait, run, ramp (15 s at 5, 10, 15, 20), prompt.
    const QList<double> asked{0.5, 0, 0.2, 0, 0.2, 0, 0.2, 0, 10.0 * 5 / 60, 12.5, 0};
    QCOMPARE(delivered.size(), asked.size());
    for (int i = 0; i < asked.size(); ++i)
        QVERIFY2(qAbs(delivered.at(i) - asked.at(i)) <= qMax(asked.at(i) * 0.01, 0.001),
                 qPrintable(QStringLiteral("step %1: %2 ml").arg(i + 1).arg(delivered.at(i))));

    // Each step shows in the recording, in the program's order, quoted for its comma.
    recorder.stop();
    QFile file(recorder.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const int pass2 = text.indexOf(",Rinse and dose,\"3.1 dose, pass 2/3\"\r\n");
    QVERIFY2(pass2 > 0 && pass2 < text.indexOf(",Rinse and dose,5 ramp\r\n"), text.constData());
}

void ProgramRunnerTest::timedRunsReportThePumpsLastCount()
{
    // A slow pump stretches each round of polls, so that a run often ends between the round's
    // volume query and its status query; its answers still come well inside the link's window.
    Rig rig({QStringLiteral("--turnaround"), QStringLiteral("20")});
    QVERIFY(rig.start());
    QList<double> delivered;
    double before = 0;
    QObject::connect(&rig.runner(), &ProgramRunner::stepFinished, [&](const ProgramStatus &s) {
        delivered << s.volumeMl - before;
        before = s.volumeMl;
    });
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    QVERIFY(rig.runner().start({QStringLiteral("runs"), std::vector<ProgramStep>(8, run(60, 20))}));
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 60000);
    QVERIFY2(rig.runner().status().state == State::Done, qPrintable(rig.runner().status().reason));
    // 60 ml/min for 20 s of the pump's clock: the pump counts 20 ml to the microlitre.
    QCOMPARE(delivered.size(), 8);
    for (int i = 0; i < delivered.size(); ++i)
        QVERIFY2(qAbs(delivered.at(i) - 20.0) < 0.0005,
                 qPrintable(QStringLiteral("run %1: %2 ml").arg(i + 1).arg(delivered.at(i))));
    QVERIFY(qAbs(rig.runner().status().volumeMl - 160.0) < 0.001);
}

void ProgramRunnerTest::pauseAndContinueMidDose()
{
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    double reported = -1;
    QObject::connect(&rig.runner(), &ProgramRunner::stepFinished,
                     [&reported](const ProgramStatus &s) { reported = s.volumeMl; });
    const int before = actions(rig.sim).size();
    // 100 s of the pump's time, 5 s at twenty times.
    QVERIFY(rig.runner().start({QStringLiteral("slow"), {dose(50, 30)}}));
    QVERIFY(rig.pumping());

    rig.runner().pause();
    QCOMPARE(rig.runner().status().state, State::Paused);
    // Held: the pump stands and its count stays where the pause found it.
    std::optional<qint64> held;
    int still = 0;
    auto c = QObject::connect(&rig.core, &PumpCore::sampled, [&](const ProcessSample &s) {
        if (s.runState != ProcessSample::RunState::Paused)
            return;
        still = held && s.volumeDelivered == held ? still + 1 : 0;
        held = s.volumeDelivered;
    });
    QTRY_VERIFY_WITH_TIMEOUT(still >= 2, 10000);
    QObject::disconnect(c);
    QVERIFY(*held > 0 && *held < 50000);
    QCOMPARE(rig.runner().status().state, State::Paused);

    rig.runner().resume();
    QCOMPARE(rig.runner().status().state, State::Running);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
    QCOMPARE(rig.runner().status().state, State::Done);
    // 50 ml once: set up and started once, paused, and continued by the same key.
    QCOMPARE(actions(rig.sim).mid(before),
             (QStringList{"01MS1", "01DN00001", "01DV00050000", "01RV00030000", "01DT00014000",
                          "01KY1", "01KY3", "01KY1"}));
    QVERIFY2(qAbs(reported - 50) <= 0.5, qPrintable(QString::number(reported)));
}

void ProgramRunnerTest::stopMidStep_data()
{
    QTest::addColumn<bool>("fromCore");
    QTest::addColumn<bool>("pumping"); // else while the step's commands are still queued
    QTest::newRow("the core's Stop, as the window, the tool and the bridge send it")
        << true << true;
    QTest::newRow("the program's own stop") << false << true;
    QTest::newRow("the core's Stop before the step's start went out") << true << false;
}

void ProgramRunnerTest::stopMidStep()
{
    QFETCH(bool, fromCore);
    QFETCH(bool, pumping);
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    const int before = actions(rig.sim).size();
    QVERIFY(rig.startLong(pumping));

    if (fromCore)
        rig.core.stop();
    else
        rig.runner().stop();
    // Ended once the pump's count after the Stop is in.
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, ProgramRunner::FinalCountMs);
    QCOMPARE(rig.runner().status().state, State::Stopped);
    QCOMPARE(rig.core.stack().queuedCount(BusinessLogic::Lane::Program), 0);

    // The pump stands, and stays so: no start after the stop.
    bool standing = false;
    QObject::connect(&rig.core, &PumpCore::sampled, [&standing](const ProcessSample &s) {
        standing = s.runState == ProcessSample::RunState::Stopped;
    });
    QTRY_VERIFY_WITH_TIMEOUT(standing, 5000);
    const QStringList sent = actions(rig.sim).mid(before);
    QCOMPARE(sent.count(QStringLiteral("01KY0")), 1);
    QCOMPARE(sent.constLast(), QStringLiteral("01KY0"));
    QCOMPARE(sent.count(QStringLiteral("01KY1")), pumping ? 1 : 0);
}

void ProgramRunnerTest::pumpErrorMidStep()
{
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    QVERIFY(rig.startLong());

    rig.sim.control("error overpressure on");
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
    QCOMPARE(rig.runner().status().state, State::Failed);
    QVERIFY2(rig.runner().status().reason.contains(QLatin1String("Overpressure")),
             qPrintable(rig.runner().status().reason));
    // Stopped all the same, and nothing started after.
    QTRY_COMPARE_WITH_TIMEOUT(actions(rig.sim).constLast(), QStringLiteral("01KY0"), 5000);
    QCOMPARE(actions(rig.sim).count(QStringLiteral("01KY1")), 1);
}

void ProgramRunnerTest::linkHungUpMidStep()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("pump"));
    Rig rig({QStringLiteral("--link"), link});
    QVERIFY(rig.start(link));
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    QVERIFY(rig.startLong());

    // Gone for longer than the runner waits for it, the pump dosing on all the while.
    rig.sim.control("hangup 5");
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
    QCOMPARE(rig.runner().status().state, State::Failed);
    QVERIFY2(rig.runner().status().reason.contains(QLatin1String("link")),
             qPrintable(rig.runner().status().reason));

    // Back on a new device behind the same link, reopened as the window's check does it once the
    // link points at it.
    const auto sinceHangUp = [&rig] {
        std::vector<SimLog::Entry> log = rig.sim.log();
        log.erase(log.begin(), std::find_if(log.begin(), log.end(), [](const SimLog::Entry &e) {
                      return e.line.contains(QLatin1String("hung up"));
                  }));
        return log;
    };
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const std::vector<SimLog::Entry> log = sinceHangUp();
            return std::any_of(log.begin(), log.end(), [](const SimLog::Entry &e) {
                return e.line.contains(QLatin1String("-- device"));
            });
        }(),
        10000);
    QVERIFY2(rig.core.link().reopen(), qPrintable(rig.core.link().portProblem.text()));
    QTRY_VERIFY_WITH_TIMEOUT(actions(rig.sim).contains(QStringLiteral("01KY0")), 5000);
    const QStringList after = SimLog::received(sinceHangUp());
    QCOMPARE(after.first(), QStringLiteral("01KY0"));
    QVERIFY(!after.contains(QStringLiteral("01KY1")));
}

using Cause = ProgramStatus::Cause;

void ProgramRunnerTest::endsWithThePumpsCount_data()
{
    QTest::addColumn<ProgramStep>("step");
    QTest::addColumn<int>("starts"); // Starts the pump took before the end is made; 0: none made
    QTest::addColumn<QByteArray>("end"); // "stop", "core stop", or a line for the simulator
    QTest::addColumn<int>("cause");

    QTest::newRow("dose done") << dose(0.5, 30) << 0 << QByteArray() << int(Cause::Done);
    QTest::newRow("run done") << run(30, 20) << 0 << QByteArray() << int(Cause::Done);
    QTest::newRow("ramp done") << ramp(10, 20, 20, 2) << 0 << QByteArray() << int(Cause::Done);
    QTest::newRow("dose, the program's stop")
        << dose(50, 30) << 1 << QByteArray("stop") << int(Cause::ProgramStop);
    // Runs of three seconds each at the simulator's speed, stopped while the second runs.
    QTest::newRow("ramp mid-second run, the program's stop")
        << ramp(10, 20, 120, 2) << 2 << QByteArray("stop") << int(Cause::ProgramStop);
    QTest::newRow("dose, the core's Stop")
        << dose(50, 30) << 1 << QByteArray("core stop") << int(Cause::OutsideStop);
    QTest::newRow("run, the core's Stop")
        << run(10, 600) << 1 << QByteArray("core stop") << int(Cause::OutsideStop);
    QTest::newRow("ramp mid-second run, the core's Stop")
        << ramp(10, 20, 120, 2) << 2 << QByteArray("core stop") << int(Cause::OutsideStop);
    QTest::newRow("dose, pump error")
        << dose(50, 30) << 1 << QByteArray("error overpressure on") << int(Cause::PumpError);
    // The pump doses on unheard: its last answered count is all there is.
    QTest::newRow("run, link silent")
        << run(10, 600) << 1 << QByteArray("silent on") << int(Cause::LinkLost);
}

// However a program ends, its total is what the pump counted, and the samples up to that count
// carry the program.
void ProgramRunnerTest::endsWithThePumpsCount()
{
    QFETCH(ProgramStep, step);
    QFETCH(int, starts);
    QFETCH(QByteArray, end);
    QFETCH(int, cause);
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    std::vector<ProcessSample> after;
    QObject::connect(&rig.core, &PumpCore::sampled, [&](const ProcessSample &s) {
        if (ended.count() > 0)
            after.push_back(s);
    });
    QVERIFY(rig.runner().start({QStringLiteral("ends"), {step}}));
    const QString label = rig.runner().status().label;
    if (starts > 0)
        QVERIFY(rig.pumpingInRun(starts));
    if (end == "stop")
        rig.runner().stop();
    else if (end == "core stop")
        rig.core.stop();
    else if (!end.isEmpty())
        rig.sim.control(end);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
    const ProgramStatus status = ended.first().first().value<ProgramStatus>();
    QCOMPARE(int(status.cause), cause);
    const bool silent = end == "silent on";
    const qint64 counted = rig.pumpsCount(!silent);
    QCOMPARE(std::llround(status.volumeMl * 1000), counted);
    QVERIFY2(status.finalCountRead != silent, qPrintable(status.reason));

    // The first sample after the end still carries the program, with the pump's last count.
    QTRY_VERIFY_WITH_TIMEOUT(!after.empty(), 5000);
    QCOMPARE(after.front().program, QStringLiteral("ends"));
    QCOMPARE(after.front().step, label);
    if (!silent && step.kind != ProgramStep::Kind::Ramp)
        QCOMPARE(after.front().volumeDelivered.value_or(-1), counted);
    QTRY_VERIFY_WITH_TIMEOUT(after.size() >= 2, 5000);
    QCOMPARE(after.at(1).program, QString());
}

void ProgramRunnerTest::stoppedRampLeavesNothingToTheNext()
{
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    QVERIFY(rig.runner().start({QStringLiteral("ramp"), {ramp(10, 20, 120, 2)}}));
    QVERIFY(rig.pumpingInRun(2));
    rig.core.stop();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);

    const std::size_t from = rig.sim.log().size();
    QVERIFY(rig.runner().start({QStringLiteral("next"), {dose(1, 30)}}));
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, 10000);
    QCOMPARE(std::llround(rig.runner().status().volumeMl * 1000), rig.pumpsCount(true, from));
}

void ProgramRunnerTest::timedPrime_data()
{
    QTest::addColumn<double>("forS");
    QTest::addColumn<bool>("stopMidway");
    QTest::newRow("2 s, then the next step") << 2.0 << false;
    QTest::newRow("a Stop during a 30 s prime") << 30.0 << true;
}

void ProgramRunnerTest::timedPrime()
{
    QFETCH(double, forS);
    QFETCH(bool, stopMidway);
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    // The prime is timed by the wall clock from the pump's taking it, not by the pump.
    QElapsedTimer primed;
    qint64 primeMs = -1;
    double primedProgress = -1;
    QObject::connect(&rig.runner(), &ProgramRunner::stepFinished, [&](const ProgramStatus &s) {
        if (s.position == 1)
            std::tie(primeMs, primedProgress) = std::make_pair(primed.elapsed(), s.progress);
    });
    const int before = actions(rig.sim).size();
    primed.start();
    QVERIFY(rig.runner().start({QStringLiteral("primed"), {prime(forS), dose(1, 30)}}));
    if (stopMidway) {
        QVERIFY(rig.pumping());
        rig.core.stop();
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
    const QStringList sent = actions(rig.sim).mid(before);
    QCOMPARE(sent.value(0), QStringLiteral("01KY2"));
    QCOMPARE(sent.value(1), QStringLiteral("01KY0"));
    if (stopMidway) {
        QCOMPARE(rig.runner().status().state, State::Stopped);
        QCOMPARE(primeMs, qint64(-1));
        QCOMPARE(sent.size(), 2); // nothing after the Stop
    } else {
        QVERIFY2(rig.runner().status().state == State::Done,
                 qPrintable(rig.runner().status().reason));
        // No sooner than its time; the margin is for a loaded machine's polls and exchanges.
        QVERIFY2(primeMs >= forS * 1000 && primeMs < forS * 1000 + 3000,
                 qPrintable(QString::number(primeMs)));
        QCOMPARE(sent.count(QStringLiteral("01KY1")), 1); // the dose after it
        QCOMPARE(sent.count(QStringLiteral("01KY0")), 1);
        // By time: 2 s of prime, then 2 s of dose (1 ml at 30 ml/min).
        QCOMPARE(primedProgress, 0.5);
        QCOMPARE(rig.runner().status().progress, 1.0);
    }
}

QTEST_GUILESS_MAIN(ProgramRunnerTest)
#include "tst_programrunner.moc"

void ProgramRunnerTest::releasedRunGoesOnUnstopped_data()
{
    QTest::addColumn<ProgramStep>("step");
    QTest::newRow("run until stopped") << run(10, 0);
    QTest::newRow("dose mid-way") << dose(50, 30);
}

// Left to the pump: the run ends at once as released, and nothing more goes out for it.
void ProgramRunnerTest::releasedRunGoesOnUnstopped()
{
    QFETCH(ProgramStep, step);
    Rig rig;
    QVERIFY(rig.start());
    QSignalSpy ended(&rig.runner(), &ProgramRunner::ended);
    QVERIFY(rig.runner().start({QStringLiteral("left"), {step}}));
    QVERIFY(rig.pumpingInRun(1));
    const int before = actions(rig.sim).size();
    rig.runner().release();
    QCOMPARE(ended.count(), 1);
    const ProgramStatus status = ended.first().first().value<ProgramStatus>();
    QCOMPARE(status.cause, Cause::Released);
    QCOMPARE(ProgramStatus::causeName(status.cause), QStringLiteral("released"));
    QVERIFY(!rig.runner().status().active());
    // Two poll rounds later the pump still runs and was sent nothing but polls.
    const int frames = rig.sim.received().size();
    QVERIFY(rig.sim.waitForReceived(frames + 20, 10000));
    QCOMPARE(actions(rig.sim).size(), before);
    QTRY_COMPARE_WITH_TIMEOUT(rig.core.sampler().take().runState, ProcessSample::RunState::Running,
                              5000);
    // A release again, or of nothing, ends nothing twice.
    rig.runner().release();
    QCOMPARE(ended.count(), 1);
    rig.core.stop();
}
