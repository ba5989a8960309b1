// Two copies of the program at once, each with a simulated pump of its own. Both copies are
// offered both ports; only the instance number decides which stored port and address a copy
// uses.

#include "ProgramSandbox.h"
#include "SimProcess.h"
#include "platform/InstanceLock.h"
#include "platform/InstanceSettings.h"

#include <QProcess>
#include <QtTest>

#include <memory>

namespace {

struct Copy
{
    int instance = 0;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<QProcess> program;
    bool lockHeld = false;
    bool running = false;
};

} // namespace

class TwoCopiesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void eachCopyKeepsItsOwn_data();
    void eachCopyKeepsItsOwn();
    void nextNumberStaysFree();

private:
    ProgramSandbox sandbox;
    Copy copies[2];
    bool thirdNumberFree = false;
};

void TwoCopiesTest::initTestCase()
{
    QVERIFY(sandbox.isValid());
    const int addresses[2] = {5, 7};
    QStringList ports;
    for (int i = 0; i < 2; ++i) {
        copies[i].instance = i + 1;
        copies[i].sim = std::make_unique<SimProcess>(addresses[i]);
        QVERIFY(copies[i].sim->start());
        ports << copies[i].sim->devicePath();
        sandbox.presetInstance(copies[i].instance, copies[i].sim->devicePath(), addresses[i]);
    }

    // The second copy starts once the first has reached its pump, so it has its number by then.
    copies[0].program = sandbox.startProgram(ports);
    QVERIFY2(copies[0].sim->waitForReceived(1, 10000), "the first copy never reached its pump");
    copies[1].program = sandbox.startProgram(ports);
    // The check and the first tick of each copy.
    QVERIFY2(copies[1].sim->waitForReceived(11, 10000), "the second copy never polled its pump");
    QVERIFY(copies[0].sim->waitForReceived(11, 5000));

    // The numbers taken are the lock files the copies hold, looked at while both run.
    qputenv("XDG_RUNTIME_DIR", sandbox.runtimeDir().toLocal8Bit());
    for (Copy &copy : copies) {
        copy.running = copy.program->state() == QProcess::Running;
        copy.lockHeld =
            !InstanceLock(InstanceSettings::lockPrefix() + QString::number(copy.instance))
                 .acquired();
    }
    thirdNumberFree = InstanceLock(InstanceSettings::lockPrefix() + QStringLiteral("3")).acquired();

    for (Copy &copy : copies) {
        ProgramSandbox::stopProgram(*copy.program);
        copy.sim->stop();
    }
}

void TwoCopiesTest::cleanupTestCase()
{
    for (Copy &copy : copies) {
        if (copy.program)
            ProgramSandbox::stopProgram(*copy.program);
        copy.sim.reset();
    }
}

void TwoCopiesTest::eachCopyKeepsItsOwn_data()
{
    QTest::addColumn<int>("copy");

    QTest::newRow("first copy: instance 1, pump at address 5") << 0;
    QTest::newRow("second copy: instance 2, pump at address 7") << 1;
}

void TwoCopiesTest::eachCopyKeepsItsOwn()
{
    QFETCH(int, copy);
    Copy &c = copies[copy];
    QVERIFY(c.running);
    QVERIFY2(c.lockHeld, "the copy's instance number is not held");

    // Every frame this pump saw carries its own address: the other copy never wrote here.
    const QString prefix = QStringLiteral("%1").arg(c.sim->address(), 2, 10, QLatin1Char('0'));
    const QStringList frames = c.sim->received();
    QVERIFY(frames.size() >= 11);
    QCOMPARE(frames.first(), prefix + QStringLiteral("?SI"));
    for (const QString &frame : frames)
        QVERIFY2(frame.startsWith(prefix), qPrintable(frame));

    // The copy stored its port back under its own group and left the address as it was.
    QCOMPARE(sandbox.stored(c.instance, QStringLiteral("Communication/Port)")).toString(),
             c.sim->devicePath());
    QCOMPARE(sandbox.stored(c.instance, QStringLiteral("Communication/Address")).toInt(),
             c.sim->address());
}

void TwoCopiesTest::nextNumberStaysFree()
{
    QVERIFY(thirdNumberFree);
}

QTEST_GUILESS_MAIN(TwoCopiesTest)
#include "tst_twocopies.moc"
