#include "PtyPeer.h"
#include "serial/Communication.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

std::string probeFrame()
{
    return "\x02"
           "01?SI\x03";
}

} // namespace

// Opening a port: a missing one is named with the path chosen; a line another program has
// locked is refused, sends nothing, and says who holds it. (Two copies of this program on one
// line: tests/reliability.)
class tst_portaccess : public QObject
{
    Q_OBJECT

private slots:
    void missingPort_data();
    void missingPort();
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
    QCOMPARE(link.portProblem.text(),
             QStringLiteral("%1: in use by flock, pid %2. Close that program, or choose another "
                            "port.")
                 .arg(peer.slavePath())
                 .arg(holder.processId()));
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
