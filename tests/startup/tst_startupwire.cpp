// Start-up as the pump sees it: the whole program and fluxo-sim run as processes of their own,
// and the simulator's frame log shows what reached the line and when.

#include "ProgramSandbox.h"
#include "SimLog.h"
#include "SimProcess.h"

#include <QProcess>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// The pump's address, stored as the program's communication address.
constexpr int PumpAddress = 3;
constexpr int Ticks = 4;
// The communication check plus ten queries in each of the first ticks.
constexpr int FramesWanted = 1 + Ticks * 10;
// Queried on every tick, in this order.
const QStringList everyTick = {"?TV", "?RV", "?DT", "?MS", "?SS1", "?TT", "?DV"};

QStringList addressed(const QStringList &queries)
{
    QStringList frames;
    for (const QString &query : queries)
        frames << QStringLiteral("%1%2").arg(PumpAddress, 2, 10, QLatin1Char('0')).arg(query);
    return frames;
}

// An answer the pump sent later than this after the query may have missed the program's 80 ms
// wait; the program then checks the link again and clears its queue, as it should.
constexpr qint64 LateAnswerMs = 50;

// Why a run's frames may rightly differ from the undisturbed cycle: an answer among the first
// frames that the simulator, busy on a loaded machine, sent late or not at all.
QString lateAnswer(const std::vector<SimLog::Entry> &log)
{
    int received = 0;
    for (std::size_t i = 0; i < log.size() && received < FramesWanted; ++i) {
        if (log[i].direction != QLatin1String("rx"))
            continue;
        ++received;
        const bool answered = i + 1 < log.size() && log[i + 1].direction == QLatin1String("tx");
        if (!answered || log[i + 1].ms - log[i].ms > LateAnswerMs)
            return QStringLiteral("the simulator answered %1 late: %2")
                .arg(log[i].body, answered ? log[i + 1].line : QStringLiteral("not at all"));
    }
    return QString();
}

} // namespace

class StartupWireTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void firstFrames_data();
    void firstFrames();
    void tickRhythm_data();
    void tickRhythm();
    void absentPortLeavesLinkClosed_data();
    void absentPortLeavesLinkClosed();

private:
    // One start against a pump at the stored port and address, until the first ticks are out.
    void startOnce(std::vector<SimLog::Entry> &log, bool &complete);

    std::vector<SimLog::Entry> rx;
    QString disturbance;
};

void StartupWireTest::startOnce(std::vector<SimLog::Entry> &log, bool &complete)
{
    ProgramSandbox sandbox;
    QVERIFY(sandbox.isValid());
    SimProcess sim(PumpAddress);
    QVERIFY2(sim.start(), "fluxo-sim did not report its device");
    sandbox.presetInstance(1, sim.devicePath(), PumpAddress);

    std::unique_ptr<QProcess> program = sandbox.startProgram({sim.devicePath()});
    QCOMPARE(program->state(), QProcess::Running);
    // Start-up, the one-second show and four 700 ms ticks, with room for a busy machine.
    complete = sim.waitForReceived(FramesWanted, 15000);
    // Room for the answer to the last frame.
    QTest::qWait(150);
    const bool running = program->state() == QProcess::Running;
    ProgramSandbox::stopProgram(*program);
    sim.stop();
    log = sim.log();
    QVERIFY(running);
}

void StartupWireTest::initTestCase()
{
    // Another start when one was disturbed by a late answer, after a pause that lets a burst
    // of load on the machine pass.
    std::vector<SimLog::Entry> log;
    bool complete = false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (attempt > 0)
            QTest::qWait(2000 * attempt);
        startOnce(log, complete);
        if (QTest::currentTestFailed())
            return;
        disturbance = lateAnswer(log);
        if (disturbance.isEmpty())
            break;
        qInfo("start %d disturbed: %s", attempt + 1, qPrintable(disturbance));
    }
    rx = SimLog::receivedEntries(log);
    QVERIFY2(complete, qPrintable(QStringLiteral("only %1 frames reached the pump: %2")
                                      .arg(rx.size())
                                      .arg(SimLog::received(rx).join(QLatin1Char(' ')))));
}

void StartupWireTest::cleanupTestCase()
{
    rx.clear();
}

void StartupWireTest::init()
{
    const QByteArray function = QTest::currentTestFunction();
    if (!disturbance.isEmpty() && function != "absentPortLeavesLinkClosed")
        QFAIL(qPrintable(QStringLiteral("machine too busy on four starts: %1").arg(disturbance)));
}

// Frames in order: the check first, then each tick queries its every-tick list, two steps of the
// fast rotation (the status item holds it for groups 1-6) and one of the slow rotation.
void StartupWireTest::firstFrames_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("communication check to the stored address comes first")
        << 0 << addressed({"?SI"});
    QTest::newRow("tick 1: every-tick list, auto start and protocol answer, analog input")
        << 1 << addressed(everyTick + QStringList{"?SA", "?SP", "?RA"});
    QTest::newRow("tick 2: status item takes the fast rotation, groups 1 and 2")
        << 11 << addressed(everyTick + QStringList{"?SS1", "?SS2", "?RB"});
    QTest::newRow("tick 3: status groups 3 and 4, contrast")
        << 21 << addressed(everyTick + QStringList{"?SS3", "?SS4", "?LC"});
    QTest::newRow("tick 4: status groups 5 and 6, digital input 1")
        << 31 << addressed(everyTick + QStringList{"?SS5", "?SS6", "?L1"});
}

void StartupWireTest::firstFrames()
{
    QFETCH(int, first);
    QFETCH(QStringList, expected);
    const QStringList frames = SimLog::received(rx);
    QVERIFY(frames.size() >= first + expected.size());
    QCOMPARE(frames.mid(first, expected.size()).join(QLatin1Char(' ')),
             expected.join(QLatin1Char(' ')));
}

// Each tick starts with "?TV". The refresh timer repeats every 700 ms; a busy machine may delay
// one tick, and the next one then comes sooner, so single gaps get wide bounds and the mean of
// three gaps narrow ones.
void StartupWireTest::tickRhythm_data()
{
    QTest::addColumn<int>("fromFrame");
    QTest::addColumn<int>("toFrame");
    QTest::addColumn<int>("ticksBetween");
    QTest::addColumn<int>("lowestMs");
    QTest::addColumn<int>("highestMs");

    // The refresh timer runs from before the window is built, so its first tick may be due by
    // the time the check has gone out: only an upper bound holds for that gap.
    QTest::newRow("check to first tick") << 0 << 1 << 1 << 0 << 1200;
    QTest::newRow("tick 1 to tick 2") << 1 << 11 << 1 << 450 << 1100;
    QTest::newRow("tick 2 to tick 3") << 11 << 21 << 1 << 450 << 1100;
    QTest::newRow("tick 3 to tick 4") << 21 << 31 << 1 << 450 << 1100;
    QTest::newRow("mean of ticks 1 to 4") << 1 << 31 << 3 << 620 << 850;
}

void StartupWireTest::tickRhythm()
{
    QFETCH(int, fromFrame);
    QFETCH(int, toFrame);
    QFETCH(int, ticksBetween);
    QFETCH(int, lowestMs);
    QFETCH(int, highestMs);
    QVERIFY(static_cast<int>(rx.size()) > toFrame);
    const qint64 gap = (rx[toFrame].ms - rx[fromFrame].ms) / ticksBetween;
    QVERIFY2(gap >= lowestMs && gap <= highestMs,
             qPrintable(QStringLiteral("%1 ms per tick").arg(gap)));
}

// The simulator's port is offered, but not the one stored: nothing is opened, nothing reaches the
// pump, and the program goes on running.
void StartupWireTest::absentPortLeavesLinkClosed_data()
{
    QTest::addColumn<QString>("storedPort");

    QTest::newRow("stored device is gone") << QStringLiteral("/dev/dosetta-unplugged-adapter");
    QTest::newRow("nothing stored, default COM1") << QString();
}

void StartupWireTest::absentPortLeavesLinkClosed()
{
    QFETCH(QString, storedPort);
    ProgramSandbox sandbox;
    QVERIFY(sandbox.isValid());
    SimProcess sim(PumpAddress);
    QVERIFY(sim.start());
    if (!storedPort.isEmpty())
        sandbox.presetInstance(1, storedPort, PumpAddress);

    std::unique_ptr<QProcess> program = sandbox.startProgram({sim.devicePath()});
    QCOMPARE(program->state(), QProcess::Running);
    // Long enough for the check and two refresh ticks.
    QTest::qWait(2500);
    const bool running = program->state() == QProcess::Running;
    ProgramSandbox::stopProgram(*program);
    QVERIFY(running);
    QCOMPARE(sim.received(), QStringList());
}

QTEST_GUILESS_MAIN(StartupWireTest)
#include "tst_startupwire.moc"
