#include "ProcessRig.h"

#include <QElapsedTimer>
#include <QtTest>

#include <algorithm>

#include <csignal>

namespace {

// Bounds seen from the pump's side of the line. An exchange waits at most 80 ms for its answer
// and 80 ms more for a late check character; the queue's 10 ms tick and a busy two-core machine
// come on top.
constexpr std::int64_t ExchangeGapBoundMs = 80 + 80 + 90;
// The poller queues its queries every 700 ms; a second without a frame means polling stopped.
constexpr std::int64_t PollGapBoundMs = 1000;
constexpr std::int64_t RecoveryBoundMs = 1500;
// After the recovery bound, polling must be steady again over at least two refresh ticks.
constexpr std::int64_t SteadyWindowMs = 1600;
// The pump's last answer may still be on its way at the end of its log.
constexpr std::int64_t LogTailMs = 200;
// Queries a timer starts: the first of each refresh tick, and the display's link check. The pause
// before them is the timer's, not an exchange's.
const std::vector<std::string> TimerQueries = {"?TV", "?SI"};

} // namespace

// The whole program as a process, polling `fluxo-sim` on a pseudo-terminal through the path the
// simulator keeps pointing at its device, while the pump misbehaves in every way it can. All
// findings come from the pump's log of what reached it and when.
class tst_faultprocess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void faultsAreSurvived_data();
    void faultsAreSurvived();
    void endsNormallyOnTerminate();

private:
    ProcessRig rig;
    ChildProcess *program = nullptr;
    ChildProcess *simulator = nullptr;
};

void tst_faultprocess::initTestCase()
{
    QVERIFY(rig.isValid());
    simulator = rig.startPump("pump", 1, {"--seed", "8"});
    QVERIFY2(simulator != nullptr, "fluxo-sim did not start");
    QVERIFY(rig.writeSettings({{1, rig.linkPath("pump"), "1"}}));
    program = rig.startProgram("dosetta", {rig.linkPath("pump")});
    QVERIFY(program != nullptr);
    // Polling under way: the refresher's burst is answered.
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.pumpLog("pump").countAnswered(TrafficLog::Always, TrafficLog::Never) > 20, 15000);
    QVERIFY(program->running());
}

void tst_faultprocess::cleanupTestCase()
{
    rig.stopAll();
}

void tst_faultprocess::faultsAreSurvived_data()
{
    // on: the commands typed at the simulator; holdMs: how long the fault lasts; returnEvent:
    // where in the pump's log it answers again ("" when it answers throughout).
    QTest::addColumn<QStringList>("on");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<QString>("returnEvent");

    // Each fault lasts at least three refresh ticks (700 ms each): long enough for the poll and
    // exchange gaps to show, and for some 20 frames to meet it (at most a handful when answers
    // trickle); a silence outlasts the second it takes to be noticed and several link checks.
    QTest::newRow("noise byte before 30 % of the answers")
        << QStringList{"noise 0.3"} << 2500 << QString();
    QTest::newRow("wrong check characters") << QStringList{"badlrc on"} << 2100 << QString();
    QTest::newRow("NUL check characters") << QStringList{"nullrc on"} << 2100 << QString();
    QTest::newRow("answers trickling at 50 ms per byte")
        << QStringList{"trickle 50"} << 3000 << QString();
    QTest::newRow("20 % of the answers dropped") << QStringList{"drop 0.2"} << 3000 << QString();
    QTest::newRow("pump silent for 3 s and back")
        << QStringList{"silent on"} << 3000 << QString("command: clear");
    QTest::newRow("hang-up, new port at the same path after 2 s")
        << QStringList{"hangup 2"} << 2500 << QString("device ");
}

void tst_faultprocess::faultsAreSurvived()
{
    QFETCH(QStringList, on);
    QFETCH(int, holdMs);
    QFETCH(QString, returnEvent);

    // The fault's window in the pump's log runs from its first command to "clear". The command may
    // land in the same millisecond as the last entry read here, so the search starts at it.
    const TrafficLog before = rig.pumpLog("pump");
    const std::int64_t logEnd = before.entries().empty() ? 0 : before.entries().back().ms;
    for (const QString &command : on)
        QVERIFY(simulator->writeLine(command));
    // The fault's own length is the period its checks look at.
    QTest::qWait(holdMs);
    QVERIFY(simulator->writeLine("clear"));
    // Then until the pump's log covers the steady window after the recovery bound (the program
    // polls throughout, so it does; one that stopped fails the checks below after 10 s).
    const auto stretchAfter = [&](const TrafficLog &log) {
        const std::int64_t from = log.eventAt("command: " + on.first().toStdString(), logEnd);
        const std::int64_t cleared = log.eventAt("command: clear", from);
        const std::int64_t returned =
            returnEvent.isEmpty() ? from : log.eventAt(returnEvent.toStdString(), from);
        if (cleared == TrafficLog::Never || returned == TrafficLog::Never)
            return std::int64_t(-1);
        const std::int64_t settled = std::max(cleared, returned) + RecoveryBoundMs;
        return log.entries().back().ms - LogTailMs - settled;
    };
    QElapsedTimer waited;
    waited.start();
    while (stretchAfter(rig.pumpLog("pump")) < SteadyWindowMs && waited.elapsed() < 10000)
        QTest::qWait(50);

    QVERIFY2(program->running(), qPrintable(ChildProcess::describe(program->end())));
    QVERIFY(simulator->running());
    const TrafficLog log = rig.pumpLog("pump");
    const std::int64_t from = log.eventAt("command: " + on.first().toStdString(), logEnd);
    const std::int64_t cleared = log.eventAt("command: clear", from);
    QVERIFY(from != TrafficLog::Never && cleared != TrafficLog::Never);
    const std::int64_t end = log.entries().back().ms - LogTailMs;

    std::int64_t returned = from;
    if (!returnEvent.isEmpty()) {
        // Nothing is answered while the pump is away, and polling resumes soon after it is back.
        returned = log.eventAt(returnEvent.toStdString(), from);
        QVERIFY2(returned != TrafficLog::Never, "the pump's return is not in its log");
        QCOMPARE(log.countAnswered(from + 1, returned - 1), 0);
        const TrafficLog::Exchange *first = log.firstAnsweredAfter(returned);
        QVERIFY2(first != nullptr, "nothing answered after the pump came back");
        const std::int64_t recovery = first->receivedMs - returned;
        qInfo("recovery %lld ms (first answered: %s)", static_cast<long long>(recovery),
              first->text.c_str());
        QVERIFY2(recovery <= RecoveryBoundMs, qPrintable(QString::number(recovery)));
    } else {
        // The pump answered throughout: the fault must have hit, and polling never paused
        // longer than a refresh tick, nor one exchange longer than its waits.
        const int spoiled = log.countSpoiled(from, cleared);
        QVERIFY2(spoiled > 0, "the fault never hit an answer");
        const std::int64_t pollGap = log.longestPollGap(from, cleared);
        const std::int64_t exchangeGap = log.longestExchangeGap(from, cleared, TimerQueries);
        qInfo("frames %d, spoiled %d, longest poll gap %lld ms, longest exchange gap %lld ms",
              log.countFrames(from, cleared), spoiled, static_cast<long long>(pollGap),
              static_cast<long long>(exchangeGap));
        QVERIFY2(pollGap <= PollGapBoundMs, qPrintable(QString::number(pollGap)));
        QVERIFY2(exchangeGap <= ExchangeGapBoundMs, qPrintable(QString::number(exchangeGap)));
    }

    // After the fault: polling goes on as before, every frame answered again.
    const std::int64_t settled = std::max(cleared, returned) + RecoveryBoundMs;
    QVERIFY2(end - settled >= SteadyWindowMs, "the pump's log stopped after the fault");
    QVERIFY(log.countAnswered(settled, end) > 10);
    QVERIFY2(log.longestPollGap(settled, end) <= PollGapBoundMs,
             qPrintable(QString::number(log.longestPollGap(settled, end))));
    QCOMPARE(log.countAnswered(settled, end), log.countFrames(settled, end));
}

void tst_faultprocess::endsNormallyOnTerminate()
{
    // Through all of the above it never crashed; SIGTERM ends it as it ends any program that
    // does not catch it, with no core.
    QVERIFY(program->running());
    program->signal(SIGTERM);
    const ChildProcess::End end = program->waitForEnd(10000);
    QVERIFY2(end.ended, "did not end within 10 s of SIGTERM");
    QVERIFY2((end.exited && end.exitCode == 0) || (end.signal == SIGTERM && !end.coreDumped),
             qPrintable(ChildProcess::describe(end)));
}

QTEST_GUILESS_MAIN(tst_faultprocess)
#include "tst_faultprocess.moc"
