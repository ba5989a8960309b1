#include "ProcessRig.h"
#include "PtyPeer.h"

#include <QDir>
#include <QSettings>
#include <QtTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// The program as a process on Linux serial ports: a port stored by its stable by-id name finds
// the adapter again after a replug renames its device; a second copy on a line that a first copy
// holds is refused and says by whom; a user outside the device's group is told how to get in.
// What each copy says about its port comes from its standard error.
class tst_linuxports : public QObject
{
    Q_OBJECT

private slots:
    void storedByIdNameSurvivesAReplug();
    void secondCopyIsRefused_data();
    void secondCopyIsRefused();
    void permissionDeniedNamesTheGroup();
};

void tst_linuxports::storedByIdNameSurvivesAReplug()
{
    ProcessRig rig;
    QVERIFY(rig.isValid());
    QVERIFY(QDir().mkpath(rig.path("by-id")));
    const QString stable = rig.path("by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ChildProcess *pump = rig.startPump("pump", 1, {"--link", stable});
    QVERIFY(pump != nullptr);
    const QString before = rig.devicePath("pump");
    // Keeps the old device number taken, as another adapter plugged in meanwhile would: the
    // pump comes back under a new name.
    const int taken =
        ::open(QFile::encodeName(before).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(taken >= 0);

    QVERIFY(rig.writeSettings({{1, stable, "1"}}));
    ChildProcess *program =
        rig.startProgram("dosetta", {}, false, {"DOSETTA_BY_ID_DIR=" + rig.path("by-id")});
    QVERIFY(program != nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(ProcessRig::terminalsHeld(*program), QStringList{before}, 15000);

    QVERIFY(pump->writeLine("hangup 2"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.devicePath("pump") != before, 10000);
    const QString after = rig.devicePath("pump");
    QTRY_COMPARE_WITH_TIMEOUT(ProcessRig::terminalsHeld(*program), QStringList{after}, 5000);
    // Polled again on the new device, and the stored choice is still the stable name.
    const std::int64_t back = rig.pumpLog("pump").eventAt("device ");
    QVERIFY(back != TrafficLog::Never);
    QTRY_VERIFY_WITH_TIMEOUT(rig.pumpLog("pump").firstAnsweredAfter(back) != nullptr, 5000);
    ::close(taken);
    QSettings stored(rig.settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value("DOSETTA_INSTANCE_1/Communication/Port)").toString(), stable);
    QVERIFY(program->running());
}

void tst_linuxports::secondCopyIsRefused_data()
{
    QTest::addColumn<bool>("byDevice"); // the second copy names the device, the first its link
    QTest::newRow("both on the same path") << false;
    QTest::newRow("one by the link, one by the device") << true;
}

void tst_linuxports::secondCopyIsRefused()
{
    QFETCH(bool, byDevice);

    ProcessRig rig;
    QVERIFY(rig.isValid());
    QVERIFY(rig.startPump("pump", 1) != nullptr);
    const QString link = rig.linkPath("pump");
    const QString device = rig.devicePath("pump");
    const QString secondPort = byDevice ? device : link;
    QVERIFY(rig.writeSettings({{1, link, "1"}, {2, secondPort, "1"}}));
    const QStringList ports{link, device};

    ChildProcess *first = rig.startProgram("first", ports);
    QVERIFY(first != nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(ProcessRig::terminalsHeld(*first), QStringList{device}, 15000);
    ChildProcess *second = rig.startProgram("second", ports);
    QVERIFY(second != nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(ProcessRig::instanceHeld(*second), 2, 15000);

    const QByteArray refusal = QStringLiteral("dosetta: %1: in use by dosetta, pid %2. Close that "
                                              "program, or choose another port.\n")
                                   .arg(secondPort)
                                   .arg(first->pid())
                                   .toUtf8();
    QTRY_VERIFY_WITH_TIMEOUT(second->standardError().contains(refusal), 10000);
    // It keeps trying (each link check), and never gets hold of the line.
    for (int i = 0; i < 20; ++i) {
        QVERIFY(ProcessRig::terminalsHeld(*second).isEmpty());
        QTest::qWait(100);
    }
    QCOMPARE(ProcessRig::terminalsHeld(*first), QStringList{device});
    QVERIFY(second->running());
}

void tst_linuxports::permissionDeniedNamesTheGroup()
{
    QVERIFY2(ProcessRig::runningAsRoot(), "making a device this user cannot open needs root");
    const group *dialout = ::getgrnam("dialout");
    QVERIFY2(dialout != nullptr, "no group dialout on this machine");

    // A pseudo-terminal set up as udev sets up a USB adapter: root, group dialout, mode 0660.
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    const QByteArray device = QFile::encodeName(peer.slavePath());
    QCOMPARE(::chown(device.constData(), 0, dialout->gr_gid), 0);
    QCOMPARE(::chmod(device.constData(), 0660), 0);

    ProcessRig rig;
    QVERIFY(rig.isValid());
    QVERIFY(rig.writeSettings({{1, peer.slavePath(), "1"}}));
    ChildProcess *program = rig.startProgram("outsider", {peer.slavePath()}, true);
    QVERIFY(program != nullptr);
    const QByteArray advice =
        QStringLiteral("dosetta: %1: permission denied. The port belongs to the group dialout: add "
                       "your user to it with \"sudo usermod -aG dialout $USER\", then log out and "
                       "log in again.\n")
            .arg(peer.slavePath())
            .toUtf8();
    QTRY_VERIFY2_WITH_TIMEOUT(program->standardError().contains(advice),
                              program->standardError().constData(), 15000);
    QVERIFY(ProcessRig::terminalsHeld(*program).isEmpty());
    QCOMPARE(peer.framesReceived(), 0);
}

QTEST_GUILESS_MAIN(tst_linuxports)
#include "tst_linuxports.moc"
