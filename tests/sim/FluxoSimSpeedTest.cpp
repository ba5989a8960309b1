#include "SimProtocol.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QtTest>

using namespace fluxosim;

namespace {

const QString program = QStringLiteral(FLUXO_SIM_PATH);

// One frame out, the whole answer (ACK, NAK or a data frame) back.
QByteArray ask(QSerialPort &port, const std::string &body)
{
    port.write(QByteArray::fromStdString(commandFrame(1, body)));
    port.waitForBytesWritten(100);
    QByteArray in;
    QElapsedTimer timer;
    timer.start();
    auto complete = [&in] {
        return (!in.isEmpty() && in[0] != STX) || (in.size() >= 2 && in[in.size() - 2] == ETX);
    };
    while (!complete() && timer.elapsed() < 1000)
        if (port.waitForReadyRead(50))
            in += port.readAll();
    return in;
}

QByteArray value(QSerialPort &port, const std::string &query)
{
    const QByteArray frame = ask(port, query);
    return frame.size() >= 3 ? frame.mid(1, frame.size() - 3) : QByteArray();
}

} // namespace

class FluxoSimSpeedTest : public QObject
{
    Q_OBJECT

private slots:
    void timedDoseRunsOnTheFasterClock();
    void badSpeed_data();
    void badSpeed();
};

void FluxoSimSpeedTest::timedDoseRunsOnTheFasterClock()
{
    QProcess sim;
    sim.start(program, {"--fast", "--speed", "20"});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 5000);
    QSerialPort port(QString::fromUtf8(sim.readLine()).trimmed());
    port.setBaudRate(QSerialPort::Baud9600);
    QVERIFY(port.open(QIODevice::ReadWrite));

    // 0.5 ml in a dispense time of 10 s, one cycle: 0.5 s of real time at 20 times.
    const QByteArray ack(1, ACK);
    for (const char *body : {"MS1", "DV00000500", "DT00001000", "DN00001", "KY1"})
        QCOMPARE(ask(port, body), ack);
    QElapsedTimer timer;
    timer.start();
    bool seenMoving = false;
    while (timer.elapsed() < 10000) {
        const bool moving = value(port, "?SS1").toInt() & 1;
        seenMoving = seenMoving || moving;
        if (seenMoving && !moving)
            break;
    }
    const qint64 realMs = timer.elapsed();
    QVERIFY(seenMoving);
    QVERIFY2(realMs < 5000, qPrintable(QString::number(realMs)));
    // The pump reports its own clock: the whole volume and the whole dispense time.
    QCOMPARE(value(port, "?TV"), QByteArray("00000500"));
    QCOMPARE(value(port, "?TT").left(6), QByteArray("000010"));

    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
}

void FluxoSimSpeedTest::badSpeed_data()
{
    QTest::addColumn<QString>("speed");
    QTest::newRow("zero") << "0";
    QTest::newRow("above 100") << "101";
}

void FluxoSimSpeedTest::badSpeed()
{
    QFETCH(QString, speed);
    QProcess sim;
    sim.start(program, {"--speed", speed});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardError().startsWith("fluxo-sim: bad value '" + speed.toUtf8() +
                                                  "' for --speed (1-100)"));
}

QTEST_GUILESS_MAIN(FluxoSimSpeedTest)
#include "FluxoSimSpeedTest.moc"
