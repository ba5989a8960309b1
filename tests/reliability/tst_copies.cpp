#include "ProcessRig.h"

#include <QSettings>
#include <QtTest>

#include <csignal>
#include <map>

namespace {

QString pumpName(int n)
{
    return QStringLiteral("pump%1").arg(n);
}

QString addressText(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

// Four copies of the program at once, each preset (in its own settings group) to its own pump at
// its own address, and a fifth pump that only a copy with instance number 5 would reach. Every
// copy must take its own number and so its own port; a copy killed with SIGKILL must leave its
// number to the next copy started.
class tst_copies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fourCopiesTakeOneNumberAndPortEach();
    void killedCopyLeavesItsNumberToTheNext();
    void copiesEndNormally();

private:
    // Waits until every copy holds a number and a terminal; false on time-out.
    bool waitSettled(const QStringList &tags, int timeoutMs);
    // The copy holding instance number n, or "".
    QString holderOf(int n) const;
    void checkCopy(const QString &tag, int n);

    ProcessRig rig;
    QStringList ports;
    QStringList running;
};

void tst_copies::initTestCase()
{
    QVERIFY(rig.isValid());
    std::vector<ProcessRig::Preset> presets;
    for (int n = 1; n <= 5; ++n) {
        QVERIFY2(rig.startPump(pumpName(n), n) != nullptr, qPrintable(pumpName(n)));
        ports << rig.linkPath(pumpName(n));
        presets.push_back({n, rig.linkPath(pumpName(n)), QString::number(n)});
    }
    QVERIFY(rig.writeSettings(presets));
}

void tst_copies::cleanupTestCase()
{
    rig.stopAll();
}

bool tst_copies::waitSettled(const QStringList &tags, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        bool all = true;
        for (const QString &tag : tags) {
            ChildProcess *p = rig.program(tag);
            all = all && p != nullptr && p->running() && ProcessRig::instanceHeld(*p) > 0 &&
                  !ProcessRig::terminalsHeld(*p).isEmpty();
        }
        if (all)
            return true;
        QTest::qWait(100);
    }
    return false;
}

QString tst_copies::holderOf(int n) const
{
    for (const QString &tag : running) {
        if (ProcessRig::instanceHeld(*rig.program(tag)) == n)
            return tag;
    }
    return {};
}

void tst_copies::checkCopy(const QString &tag, int n)
{
    // The copy holds exactly its pump's terminal, and no other copy holds it.
    const ChildProcess *copy = rig.program(tag);
    const QString device = rig.devicePath(pumpName(n));
    QCOMPARE(ProcessRig::terminalsHeld(*copy), QStringList{device});
    for (const QString &other : running) {
        if (other != tag)
            QVERIFY2(!ProcessRig::terminalsHeld(*rig.program(other)).contains(device),
                     qPrintable(other + " also holds " + device));
    }
}

void tst_copies::fourCopiesTakeOneNumberAndPortEach()
{
    // Started together, as a lab starts them from a script.
    for (int i = 1; i <= 4; ++i) {
        const QString tag = QStringLiteral("copy%1").arg(i);
        QVERIFY(rig.startProgram(tag, ports) != nullptr);
        running << tag;
    }
    QVERIFY2(waitSettled(running, 20000), "not every copy took a number and a port");

    std::map<int, QString> byNumber;
    for (const QString &tag : running)
        byNumber[ProcessRig::instanceHeld(*rig.program(tag))] = tag;
    QCOMPARE(int(byNumber.size()), 4);
    QCOMPARE(byNumber.begin()->first, 1);
    QCOMPARE(byNumber.rbegin()->first, 4);
    for (const auto &[n, tag] : byNumber)
        checkCopy(tag, n);

    // Each pump hears one program, at its own address, and answers it; the fifth hears nobody
    // while the four are polled.
    const auto allAnswered = [this] {
        for (int n = 1; n <= 4; ++n) {
            if (rig.pumpLog(pumpName(n)).countAnswered(TrafficLog::Always, TrafficLog::Never) <= 10)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allAnswered(), 10000);
    for (int n = 1; n <= 4; ++n) {
        const TrafficLog log = rig.pumpLog(pumpName(n));
        QCOMPARE(log.addresses(), std::vector<std::string>{addressText(n).toStdString()});
        QVERIFY2(log.countAnswered(TrafficLog::Always, TrafficLog::Never) > 10,
                 qPrintable(pumpName(n)));
    }
    QCOMPARE(rig.pumpLog(pumpName(5)).countFrames(TrafficLog::Always, TrafficLog::Never), 0);

    // Each copy keeps its own group: the four preset ones and the fifth, nothing more.
    QSettings store(rig.settingsFile(), QSettings::IniFormat);
    QStringList groups = store.childGroups();
    groups.sort();
    QCOMPARE(groups, (QStringList{"DOSETTA_INSTANCE_1", "DOSETTA_INSTANCE_2", "DOSETTA_INSTANCE_3",
                                  "DOSETTA_INSTANCE_4", "DOSETTA_INSTANCE_5"}));
    for (int n = 1; n <= 5; ++n) {
        const QString group = QStringLiteral("DOSETTA_INSTANCE_%1/").arg(n);
        QCOMPARE(store.value(group + "Communication/Address").toInt(), n);
        QCOMPARE(store.value(group + "Communication/Port)").toString(), rig.linkPath(pumpName(n)));
    }
}

void tst_copies::killedCopyLeavesItsNumberToTheNext()
{
    const QString victim = holderOf(2);
    QVERIFY(!victim.isEmpty());
    rig.program(victim)->signal(SIGKILL);
    const ChildProcess::End end = rig.program(victim)->waitForEnd(5000);
    QCOMPARE(end.signal, SIGKILL);
    running.removeAll(victim);
    // Its pump falls quiet: a frame still on its way when the copy died is through within
    // 30 ms at 9600 baud.
    QTest::qWait(300);
    const TrafficLog before = rig.pumpLog(pumpName(2));
    const int heardBefore = before.countFrames(TrafficLog::Always, TrafficLog::Never);

    QVERIFY(rig.startProgram("copy5", ports) != nullptr);
    running << "copy5";
    QVERIFY2(waitSettled(running, 20000), "the fifth copy took no number or port");
    QCOMPARE(ProcessRig::instanceHeld(*rig.program("copy5")), 2);
    checkCopy("copy5", 2);

    // Pump 2 hears the new copy at address 02; pump 5 still hears nobody.
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.pumpLog(pumpName(2)).countAnswered(TrafficLog::Always, TrafficLog::Never) >
            before.countAnswered(TrafficLog::Always, TrafficLog::Never) + 10,
        10000);
    const TrafficLog after = rig.pumpLog(pumpName(2));
    QVERIFY(after.countAnswered(TrafficLog::Always, TrafficLog::Never) >
            before.countAnswered(TrafficLog::Always, TrafficLog::Never) + 10);
    QVERIFY(after.countFrames(TrafficLog::Always, TrafficLog::Never) > heardBefore);
    QCOMPARE(after.addresses(), std::vector<std::string>{"02"});
    QCOMPARE(rig.pumpLog(pumpName(5)).countFrames(TrafficLog::Always, TrafficLog::Never), 0);
    for (int n : {1, 3, 4})
        checkCopy(holderOf(n), n);
}

void tst_copies::copiesEndNormally()
{
    for (const QString &tag : running) {
        ChildProcess *copy = rig.program(tag);
        QVERIFY2(copy->running(), qPrintable(tag + ": " + ChildProcess::describe(copy->end())));
        copy->signal(SIGTERM);
    }
    for (const QString &tag : running) {
        const ChildProcess::End end = rig.program(tag)->waitForEnd(10000);
        QVERIFY2((end.exited && end.exitCode == 0) || (end.signal == SIGTERM && !end.coreDumped),
                 qPrintable(tag + ": " + ChildProcess::describe(end)));
    }
}

QTEST_GUILESS_MAIN(tst_copies)
#include "tst_copies.moc"
