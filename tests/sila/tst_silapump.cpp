// The SiLA server's pump against the simulator at twenty times its speed: the checks, what goes
// on the wire, progress, every way a run ends, and the properties following the pump.

#include "SimProcess.h"

#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "sila/SilaPump.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Failure = SilaPump::Failure;

// The frames that are no queries: what was set and started.
QStringList actions(SimProcess &sim)
{
    QStringList frames;
    for (const QString &body : sim.received()) {
        if (!body.startsWith(QLatin1String("01?")))
            frames << body;
    }
    return frames;
}

struct Progress
{
    double delivered;
    double progress;
    double remaining;
};

// The simulator, a polled core on its line, and the pump as the server sees it.
struct Rig
{
    explicit Rig(const QStringList &extra = {})
        : sim(1, QStringList{QStringLiteral("--speed"), QStringLiteral("20")} + extra)
    {
        QObject::connect(&pump, &SilaPump::runProgress,
                         [this](SilaPump::RunId, double delivered, double p, double remaining) {
                             progress.push_back({delivered, p, remaining});
                         });
        QObject::connect(&pump, &SilaPump::snapshotChanged,
                         [this](const SilaPump::Snapshot &s) { states << s.state; });
    }

    bool start(const QString &port = {})
    {
        if (!sim.start())
            return false;
        core.link().setAddress(1);
        core.link().setCommPortName(port.isEmpty() ? sim.devicePath() : port);
        return QTest::qWaitFor([this] { return pump.snapshot().state == "stopped"; }, 5000);
    }

    bool inState(const char *state, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return pump.snapshot().state == state; }, timeoutMs);
    }

    SimProcess sim;
    PumpCore core;
    ProgramRunner runner{core};
    SilaPump pump{core, runner};
    std::vector<Progress> progress;
    QStringList states; // each change of the pump's state, as the property shows it
    QSignalSpy ended{&pump, &SilaPump::runEnded};
};

SilaPump::Outcome endOf(const QSignalSpy &ended)
{
    return ended.constLast().at(2).value<SilaPump::Outcome>();
}

} // namespace

Q_DECLARE_METATYPE(SilaPump::Failure)

class SilaPumpTest : public QObject
{
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
    void runEnds_data();
    void runEnds();
    void startBeforeTheFirstAnswer();
    void refusedWhileActive();
    void snapshotFollowsThePump();
};

void SilaPumpTest::checks_data()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addColumn<bool>("dose"); // else a flow: (rate, run time)
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<QString>("refusal"); // "Parameter: message"

    QTest::newRow("dose within") << true << 10.0 << 30.0 << "";
    QTest::newRow("volume below") << true << 0.05 << 30.0 << "Volume: 0.05 is below 0.1 ml";
    QTest::newRow("volume above") << true << 1000.0 << 30.0 << "Volume: 1000 is above 999.9 ml";
    QTest::newRow("rate above") << true << 10.0 << 150.0 << "FlowRate: 150 is above 100.0 ml/min";
    QTest::newRow("volume NaN") << true << nan << 30.0 << "Volume: NaN is not a number";
    QTest::newRow("rate infinite") << true << 10.0 << inf << "FlowRate: inf is above 100.0 ml/min";
    QTest::newRow("dose longer than a dispense time")
        << true << 999.0 << 1.0
        << "FlowRate: 999 ml at 1 ml/min takes 59940.0 s, longer than the longest dispense time "
           "of 5999 s";
    QTest::newRow("dose under half a second: at full flow") << true << 0.1 << 100.0 << "";
    QTest::newRow("dose of just under 100 minutes") << true << 99.98 << 1.0 << "";
    QTest::newRow("flow until stopped") << false << 10.0 << 0.0 << "";
    QTest::newRow("flow rate below") << false << 0.5 << 60.0 << "FlowRate: 0.5 is below 1.0 ml/min";
    QTest::newRow("run time above") << false << 10.0 << 6000.0 << "RunTime: 6000 is above 5999 s";
    QTest::newRow("run time negative") << false << 10.0 << -1.0 << "RunTime: -1 is below 0 s";
    QTest::newRow("run time under the shortest")
        << false << 10.0 << 0.6 << "RunTime: 0.6 is below 1 s; 0 runs until stopped";
    QTest::newRow("run time NaN") << false << 10.0 << nan << "RunTime: NaN is not a number";
}

void SilaPumpTest::checks()
{
    QFETCH(bool, dose);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(QString, refusal);
    const SilaPump::Invalid invalid = dose ? SilaPump::checkDose(a, b) : SilaPump::checkFlow(a, b);
    const QString text = invalid.valid() ? QString() : invalid.parameter + ": " + invalid.message;
    QCOMPARE(text, refusal);
}

void SilaPumpTest::runEnds_data()
{
    const QStringList dose{"01MS1",        "01DN00001",    "01DV00050000",
                           "01RV00030000", "01DT00014000", "01KY1"};
    QTest::addColumn<bool>("flow"); // until stopped at 30 ml/min, else 50 ml at 30 ml/min
    QTest::addColumn<QString>("how");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QStringList>("frames");
    QTest::newRow("dose to the end") << false << "" << Failure::None << dose;
    QTest::newRow("flow until StopDosage")
        << true << "StopDosage" << Failure::Stopped
        << QStringList{"01MS0", "01DN00001", "01RV00030000", "01DT00000000", "01KY1", "01KY0"};
    QTest::newRow("dose, the core's Stop as the window, the tool and the bridge send it")
        << false << "core" << Failure::Stopped << dose + QStringList{"01KY0"};
    QTest::newRow("dose, overpressure")
        << false << "error overpressure on" << Failure::PumpError << dose + QStringList{"01KY0"};
    QTest::newRow("dose, the link lost for longer than a run waits, back later")
        << false << "hangup 5" << Failure::LinkLost << dose + QStringList{"01KY0"};
    QTest::newRow("dose, paused and resumed")
        << false << "pause" << Failure::None << dose + QStringList{"01KY3", "01KY1"};
}

void SilaPumpTest::runEnds()
{
    QFETCH(bool, flow);
    QFETCH(QString, how);
    QFETCH(Failure, failure);
    QFETCH(QStringList, frames);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("pump"));
    Rig rig({QStringLiteral("--link"), link});
    QVERIFY(rig.start(link));
    const int before = actions(rig.sim).size();
    const SilaPump::RunId id =
        flow ? rig.pump.startFlow(30, 0, nullptr) : rig.pump.startDose(50, 30, nullptr);
    QVERIFY(id != 0);
    // Well on its way, its progress shown a few times.
    QTRY_VERIFY_WITH_TIMEOUT(rig.progress.size() >= 3 && rig.pump.snapshot().volumeDeliveredMl > 5,
                             10000);
    QVERIFY(rig.inState("running"));
    QCOMPARE(rig.ended.count(), 0);
    // Running once started: never a glimpse of the pump as it stood before the start.
    const QStringList since = rig.states.mid(rig.states.indexOf("running"));
    QVERIFY2(since.count("running") == since.size(), qPrintable(rig.states.join(", ")));

    QSignalSpy paused(&rig.pump, &SilaPump::runPaused);
    if (how == "StopDosage") {
        rig.pump.stop();
    } else if (how == "core") {
        rig.core.stop();
    } else if (how == "pause") {
        QVERIFY(rig.pump.pause(id, nullptr));
        QVERIFY(rig.pump.paused(id));
        QVERIFY(rig.inState("paused"));
        QVERIFY(rig.pump.resume(id, nullptr));
        QCOMPARE(paused.count(), 2);
        QCOMPARE(paused.at(0), (QVariantList{id, true}));
        QCOMPARE(paused.at(1), (QVariantList{id, false}));
    } else if (!how.isEmpty()) {
        rig.sim.control(how.toLatin1());
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.ended.count(), 1, 20000);
    QCOMPARE(rig.ended.constLast().at(0).value<SilaPump::RunId>(), id);
    QCOMPARE(endOf(rig.ended).failure, failure);
    if (failure == Failure::PumpError)
        QVERIFY2(endOf(rig.ended).message.contains(QLatin1String("Overpressure")),
                 qPrintable(endOf(rig.ended).message));
    if (failure == Failure::None)
        QVERIFY(qAbs(rig.ended.constLast().at(1).toDouble() - 50) <= 0.5);
    // What the pump counted once it stood, in the result and in a failure's words.
    const double delivered = rig.ended.constLast().at(1).toDouble();
    if (failure != Failure::LinkLost)
        QTRY_COMPARE(delivered, SimLog::runsTotal(rig.sim.log()) / 1000.0);
    if (failure == Failure::Stopped || failure == Failure::PumpError)
        QVERIFY(endOf(rig.ended).message.endsWith(QString::number(delivered, 'f', 3) +
                                                  " ml delivered"));
    if (failure == Failure::LinkLost) {
        SilaPump::Outcome why;
        QCOMPARE(rig.pump.startDose(1, 10, &why), SilaPump::RunId(0));
        QCOMPARE(why.failure, Failure::LinkLost);
        // Back on a new device behind the same link: the Stop owed goes out, nothing else.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 10000);
        QVERIFY2(rig.core.link().reopen(), qPrintable(rig.core.link().portProblem.text()));
    }
    QTRY_COMPARE(actions(rig.sim).mid(before), frames);
    QVERIFY(rig.inState("stopped"));
    // A dose's progress rises with its volume, the time left falls; a flow without an end has
    // none to show.
    int between = 0;
    for (std::size_t i = 1; i < rig.progress.size(); ++i) {
        const Progress &p = rig.progress[i];
        if (flow) {
            QVERIFY(p.progress == 0 && p.remaining < 0);
            continue;
        }
        QVERIFY(p.progress >= rig.progress[i - 1].progress);
        QVERIFY(qAbs(p.progress - std::min(1.0, p.delivered / 50)) < 1e-9);
        QVERIFY(qAbs(p.remaining - std::max(0.0, 50 - p.delivered) * 2) < 1e-9);
        between += p.progress > 0 && p.progress < 1;
    }
    QVERIFY(flow || between >= 2);
}

void SilaPumpTest::startBeforeTheFirstAnswer()
{
    Rig rig;
    QVERIFY(rig.sim.start());
    rig.core.link().setAddress(1);
    rig.core.link().setCommPortName(rig.sim.devicePath());
    SilaPump::Outcome why;
    QVERIFY2(rig.pump.startDose(1, 10, &why) != 0, qPrintable(why.message));
    QTRY_COMPARE_WITH_TIMEOUT(rig.ended.count(), 1, 10000);
    QCOMPARE(endOf(rig.ended).failure, Failure::None);
}

void SilaPumpTest::refusedWhileActive()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.pump.startFlow(10, 0, nullptr) != 0);
    QTRY_VERIFY(actions(rig.sim).contains(QStringLiteral("01KY1")));
    const int before = actions(rig.sim).size();
    SilaPump::Outcome dose, flow, prime;
    QCOMPARE(rig.pump.startDose(1, 10, &dose), SilaPump::RunId(0));
    QCOMPARE(rig.pump.startFlow(10, 0, &flow), SilaPump::RunId(0));
    QVERIFY(!rig.pump.prime(&prime));
    for (const SilaPump::Outcome &why : {dose, flow, prime})
        QCOMPARE(why.failure, Failure::PumpRefused);
    // Nothing went out for them, and the run goes on.
    QTest::qWait(300);
    QCOMPARE(actions(rig.sim).size(), before);
    QCOMPARE(rig.ended.count(), 0);
}

void SilaPumpTest::snapshotFollowsThePump()
{
    Rig rig;
    // Nothing heard yet: unknown, not zero.
    QCOMPARE(rig.pump.snapshot().state, QStringLiteral("unknown"));
    QVERIFY(std::isnan(rig.pump.snapshot().volumeDeliveredMl));
    QSignalSpy changed(&rig.pump, &SilaPump::snapshotChanged);
    QVERIFY(rig.start());
    QTRY_VERIFY_WITH_TIMEOUT(!std::isnan(rig.pump.snapshot().volumeDeliveredMl), 5000);

    QVERIFY(rig.pump.prime(nullptr));
    QVERIFY(rig.inState("priming"));
    rig.pump.stop();
    QVERIFY(rig.inState("stopped"));
    QTRY_COMPARE(actions(rig.sim).mid(actions(rig.sim).size() - 2),
                 (QStringList{"01KY2", "01KY0"}));
    // An error's names are read right behind the flag read every tick that says it came or went,
    // not at their own turn some ticks later.
    const auto namedAtOnce = [&rig](const QString &command) {
        const std::vector<SimLog::Entry> log = rig.sim.log();
        std::size_t i = log.size();
        while (i > 0 && !log[i - 1].line.contains(command))
            --i;
        QStringList since;
        for (; i < log.size(); ++i)
            since << (log[i].direction == "rx" ? log[i].body : QString());
        since.removeAll(QString());
        const int motion = since.indexOf("01?SS1");
        return motion >= 0 && since.value(motion + 1) == "01?SS6";
    };
    rig.sim.control("error temperature on");
    QTRY_VERIFY_WITH_TIMEOUT(!rig.pump.snapshot().errorFlags.isEmpty(), 5000);
    QTRY_VERIFY(namedAtOnce("command: error temperature on"));
    rig.sim.control("clear");
    QTRY_VERIFY_WITH_TIMEOUT(rig.pump.snapshot().errorFlags.isEmpty(), 5000);
    QTRY_VERIFY(namedAtOnce("command: clear"));

    // Once per change: each emission differs from the one before, the last is what it holds.
    QVERIFY(changed.count() >= 5);
    for (int i = 1; i < changed.count(); ++i)
        QVERIFY(changed.at(i).at(0).value<SilaPump::Snapshot>() !=
                changed.at(i - 1).at(0).value<SilaPump::Snapshot>());
    QVERIFY(changed.constLast().at(0).value<SilaPump::Snapshot>() == rig.pump.snapshot());
}

QTEST_GUILESS_MAIN(SilaPumpTest)
#include "tst_silapump.moc"
