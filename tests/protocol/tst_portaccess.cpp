#include "PtyPeer.h"
#include "serial/Communication.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

std::string probeFrame()
{
    return "\x02"
           "01?SI\x03";
}

QString busyText(const QString &path, const QString &program, qint64 pid)
{
    return QStringLiteral("%1: in use by %2, pid %3. Close that program, or choose another port.")
        .arg(path, program)
        .arg(pid);
}

} // namespace

// Opening a port: a missing one is named with the path chosen, and a line is held by one link
// only, whichever name each uses for the device; a refused link sends nothing and says who holds
// the line.
class tst_portaccess : public QObject
{
    Q_OBJECT

private slots:
    void missingPort_data();
    void missingPort();
    void secondLinkIsRefused_data();
    void secondLinkIsRefused();
    void lineHeldByAnotherProgram();
};

void tst_portaccess::missingPort_data()
{
    QTest::addColumn<QString>("chosen"); // "<dir>" stands for a temporary folder
    QTest::addColumn<QString>("shown");

    QTest::newRow("absent device path") << "/dev/ttyDOSETTA-absent"
                                        << "/dev/ttyDOSETTA-absent: not present — plugged in?";
    QTest::newRow("kernel name of an unplugged adapter")
        << "ttyDOSETTA9"
        << "/dev/ttyDOSETTA9: not present — plugged in?";
    QTest::newRow("stable name left behind by its adapter")
        << "<dir>/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"
        << "<dir>/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0: not present — plugged in?";
}

void tst_portaccess::missingPort()
{
    QFETCH(QString, chosen);
    QFETCH(QString, shown);

    QTemporaryDir dir;
    chosen.replace("<dir>", dir.path());
    shown.replace("<dir>", dir.path());
    if (chosen.startsWith(dir.path()))
        QVERIFY(QFile::link(dir.filePath("gone"), chosen));

    Communication link;
    QSignalSpy problems(&link, &Communication::portProblemChanged);
    link.setCommPortName(chosen);
    QVERIFY(!link.portOpen);
    QCOMPARE(link.portProblem.cause, PortProblem::Cause::Missing);
    QCOMPARE(link.portProblem.text(), shown);
    QCOMPARE(problems.count(), 1);
    // Each failed check tries again; the same finding is not reported twice.
    QVERIFY(!link.reopen());
    QCOMPARE(problems.count(), 1);
}

void tst_portaccess::secondLinkIsRefused_data()
{
    QTest::addColumn<bool>("alias");
    QTest::newRow("same device path") << false;
    QTest::newRow("one by the device, one by a link to it") << true;
}

void tst_portaccess::secondLinkIsRefused()
{
    QFETCH(bool, alias);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    QTemporaryDir dir;
    const QString stable = dir.filePath("usb-Pump_Adapter_0001-if00-port0");
    QVERIFY(QFile::link(peer.slavePath(), stable));

    auto first = std::make_unique<Communication>();
    first->setCommPortName(stable);
    QVERIFY(first->portOpen);
    QCOMPARE(first->portProblem.cause, PortProblem::Cause::None);

    const QString secondPath = alias ? peer.slavePath() : stable;
    Communication second;
    QSignalSpy problems(&second, &Communication::portProblemChanged);
    second.setCommPortName(secondPath);
    QVERIFY(!second.portOpen);
    QCOMPARE(second.portProblem.cause, PortProblem::Cause::Busy);
    QCOMPARE(second.portProblem.text(), busyText(secondPath, "tst_portaccess", ::getpid()));
    QCOMPARE(problems.count(), 1);

    std::string frame = probeFrame();
    QVERIFY(!second.sendFrame(frame));
    QTest::qWait(50);
    QCOMPARE(peer.framesReceived(), 0);
    frame = probeFrame();
    QVERIFY(first->sendFrame(frame));
    QVERIFY(peer.waitForFrames(1, 2000));

    // The line is free as soon as its holder lets go.
    first.reset();
    QVERIFY(second.reopen());
    QCOMPARE(second.portProblem.cause, PortProblem::Cause::None);
    QCOMPARE(problems.count(), 2);
    QVERIFY(problems.last().at(0).toString().isEmpty());
}

void tst_portaccess::lineHeldByAnotherProgram()
{
    // A terminal program that locks the device itself (as picocom does with flock), without a
    // lock file: found through /proc.
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    QProcess holder;
    // -o: only flock itself holds the device; the command ends when its input does.
    holder.start("flock", {"-o", peer.slavePath(), "-c", "echo locked; exec cat"});
    QVERIFY(holder.waitForStarted(5000));
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += holder.readAllStandardOutput()).contains("locked"), 5000);

    Communication link;
    link.setCommPortName(peer.slavePath());
    QVERIFY(!link.portOpen);
    QCOMPARE(link.portProblem.cause, PortProblem::Cause::Busy);
    QCOMPARE(link.portProblem.text(), busyText(peer.slavePath(), "flock", holder.processId()));
    std::string frame = probeFrame();
    QVERIFY(!link.sendFrame(frame));

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(5000));
    QVERIFY(link.reopen());
    frame = probeFrame();
    QVERIFY(link.sendFrame(frame));
    QVERIFY(peer.waitForFrames(1, 2000));
}

QTEST_GUILESS_MAIN(tst_portaccess)
#include "tst_portaccess.moc"
