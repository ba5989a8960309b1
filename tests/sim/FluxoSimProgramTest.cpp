#include "SimProtocol.h"

#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

using namespace fluxosim;

namespace {

const QString program = QStringLiteral(FLUXO_SIM_PATH);

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

QByteArray ask(QSerialPort &port, const QByteArray &out, int expected, int timeoutMs = 500)
{
    port.write(out);
    port.waitForBytesWritten(100);
    QByteArray in;
    QElapsedTimer timer;
    timer.start();
    while (in.size() < expected && timer.elapsed() < timeoutMs)
        if (port.waitForReadyRead(static_cast<int>(timeoutMs - timer.elapsed())))
            in += port.readAll();
    return in;
}

} // namespace

class FluxoSimProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void servesUntilTerminated();
    void helpExplainsEveryOption();
    void badOptions_data();
    void badOptions();
};

void FluxoSimProgramTest::servesUntilTerminated()
{
    QTemporaryDir dir;
    const QString link = dir.path() + "/pump";
    QProcess sim;
    sim.start(program, {"--fast", "--address", "12", "--link", link});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 5000);
    const QString device = QString::fromUtf8(sim.readLine()).trimmed();
    QVERIFY2(device.startsWith("/dev/"), qPrintable(device));
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    QSerialPort port(device);
    port.setBaudRate(QSerialPort::Baud9600);
    QVERIFY(port.open(QIODevice::ReadWrite));
    const QByteArray query = bytes(commandFrame(12, "?AD"));
    QCOMPARE(ask(port, query, 5), bytes(dataFrame("12")));

    // Commands on stdin take effect; end of input does not stop the pump.
    sim.write("silent on\n");
    QTRY_COMPARE_WITH_TIMEOUT(ask(port, query, 5, 100), QByteArray(), 3000);
    sim.write("silent off\n");
    sim.closeWriteChannel();
    QTRY_COMPARE_WITH_TIMEOUT(ask(port, query, 5, 100), bytes(dataFrame("12")), 3000);

    sim.terminate(); // SIGTERM
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void FluxoSimProgramTest::helpExplainsEveryOption()
{
    QProcess sim;
    sim.start(program, {"--help"});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    const QString help = QString::fromUtf8(sim.readAllStandardOutput());
    for (const char *word :
         {"--address", "--type",        "--baud",     "--turnaround", "--fast",
          "--log",     "--link",        "--seed",     "--silent",     "--badlrc",
          "--nullrc",  "--noise",       "--drop",     "--trickle",    "--error",
          "--fault",   "silent on|off", "status G B", "hangup S",     "error NAME"})
        QVERIFY2(help.contains(word), word);
}

void FluxoSimProgramTest::badOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--bogus"};
    QTest::newRow("address 99") << QStringList{"--address", "99"};
    QTest::newRow("address not a number") << QStringList{"--address=x"};
    QTest::newRow("type 05") << QStringList{"--type", "05"};
    QTest::newRow("value missing") << QStringList{"--baud"};
    QTest::newRow("value on a switch") << QStringList{"--fast=1"};
    QTest::newRow("noise above 1") << QStringList{"--noise", "1.5"};
    QTest::newRow("unknown error") << QStringList{"--error", "flood"};
    QTest::newRow("unknown fault command") << QStringList{"--fault", "explode"};
    QTest::newRow("stray argument") << QStringList{"pump"};
}

void FluxoSimProgramTest::badOptions()
{
    QFETCH(QStringList, arguments);
    QProcess sim;
    sim.start(program, arguments);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray());
    // One line naming what is wrong, then the usage.
    const QList<QByteArray> lines = sim.readAllStandardError().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines.at(0).startsWith("fluxo-sim: "), lines.at(0).constData());
    QCOMPARE(lines.at(1), QByteArray("Usage: fluxo-sim [OPTION]..."));
    QVERIFY(lines.at(2).contains("fluxo-sim --help"));
}

QTEST_GUILESS_MAIN(FluxoSimProgramTest)
#include "FluxoSimProgramTest.moc"
