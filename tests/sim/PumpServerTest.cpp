#include "PumpServer.h"
#include "SimProtocol.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <random>

using namespace fluxosim;

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

QByteArray frame(const char *body)
{
    return bytes(commandFrame(1, body));
}

// Opened as the program opens the pump's port.
std::unique_ptr<QSerialPort> openPort(const std::string &path)
{
    auto port = std::make_unique<QSerialPort>(QString::fromStdString(path));
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite))
        return nullptr;
    return port;
}

struct Exchange
{
    QByteArray answer;
    double firstMs = -1; // arrival of the first and the last answer byte, from the write
    double lastMs = -1;
};

Exchange exchange(QSerialPort &port, const QByteArray &out, int expected, int timeoutMs = 1000)
{
    Exchange result;
    QElapsedTimer timer;
    timer.start();
    port.write(out);
    port.waitForBytesWritten(100);
    while (result.answer.size() < expected && timer.elapsed() < timeoutMs) {
        if (!port.waitForReadyRead(static_cast<int>(timeoutMs - timer.elapsed())))
            continue;
        const double now = timer.nsecsElapsed() / 1e6;
        if (result.firstMs < 0)
            result.firstMs = now;
        result.lastMs = now;
        result.answer += port.readAll();
    }
    return result;
}

// Everything a pump may send: ACK, NAK, or data frames with a correct check character.
bool wellFormedAnswers(const QByteArray &stream)
{
    int i = 0;
    while (i < stream.size()) {
        if (stream[i] == ACK || stream[i] == NAK) {
            ++i;
            continue;
        }
        const int etx = stream.indexOf(ETX, i);
        if (stream[i] != STX || etx < 0 || etx + 1 >= stream.size())
            return false;
        if (lrc(stream.mid(i, etx + 2 - i).toStdString()) != 0)
            return false;
        i = etx + 2;
    }
    return true;
}

} // namespace

class PumpServerTest : public QObject
{
    Q_OBJECT

private slots:
    void pacing_data();
    void pacing();
    void trickleSpreadsTheAnswer();
    void slowSenderFrameEndsWithItsLastByte();
    void faultsOverTheLine_data();
    void faultsOverTheLine();
    void clientMayCloseAndReopen();
    void logRecordsFramesAndVerdicts();
    void hangupComesBackOnANewDevice();
    void randomStreamGetsOnlyWellFormedAnswers();
};

void PumpServerTest::pacing_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("turnaround");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("answerBytes");

    QTest::newRow("?SV at 9600: 8 bytes out, 13 back") << 9600 << 2 << frame("?SV") << 13;
    QTest::newRow("setting at 9600: 13 bytes out, ACK back")
        << 9600 << 2 << frame("DV00012500") << 1;
    QTest::newRow("?SV at 2400") << 2400 << 2 << frame("?SV") << 13;
    QTest::newRow("turnaround 40 ms") << 9600 << 40 << frame("?SS4") << 6;
}

void PumpServerTest::pacing()
{
    QFETCH(int, baud);
    QFETCH(int, turnaround);
    QFETCH(QByteArray, request);
    QFETCH(int, answerBytes);

    ServerOptions options;
    options.baud = baud;
    options.turnaroundMs = turnaround;
    PumpServer server(options);
    QVERIFY(server.start());
    auto port = openPort(server.devicePath());
    QVERIFY(port);

    const double byteMs = 10000.0 / baud; // 8N1: ten bit times
    const Exchange result = exchange(*port, request, answerBytes);
    QCOMPARE(result.answer.size(), answerBytes);
    // The request's line time, the turnaround and the answer's line time all pass first. The
    // lower bound of the total is tight (the pseudo-terminal itself adds nothing); the upper
    // ones allow for a busy machine.
    const double expected = (request.size() + answerBytes) * byteMs + turnaround;
    QVERIFY2(result.lastMs >= expected - 0.5 && result.lastMs < expected + 80,
             qPrintable(QString("%1 ms, expected %2").arg(result.lastMs).arg(expected)));
    const double spread = result.lastMs - result.firstMs;
    const double expectedSpread = (answerBytes - 1) * byteMs;
    // A reader woken late for the first byte sees a shorter spread (3.5 ms short of 12.5 on a
    // busy machine): the total above is the tight check of the line time, the spread only shows
    // the answer is not sent in one go, which would leave it under a millisecond.
    QVERIFY2(spread >= expectedSpread / 3 && spread < expectedSpread + 80,
             qPrintable(QString("spread %1 ms, expected %2").arg(spread).arg(expectedSpread)));
}

void PumpServerTest::trickleSpreadsTheAnswer()
{
    PumpServer server;
    QVERIFY(server.start());
    auto port = openPort(server.devicePath());
    QVERIFY(port);
    QVERIFY(server.command("trickle 20").ok);
    const Exchange result = exchange(*port, frame("?SV"), 13, 3000);
    QCOMPARE(result.answer, bytes(dataFrame("0011001023")));
    // The last byte cannot come before the twelve gaps have passed; a reader woken late for the
    // first byte sees a shorter spread, which still shows the answer trickling.
    QVERIFY2(result.lastMs >= 12 * 20, qPrintable(QString::number(result.lastMs)));
    const double spread = result.lastMs - result.firstMs;
    QVERIFY2(spread >= 12 * 20 / 2 && spread < 12 * 20 + 200, qPrintable(QString::number(spread)));
}

void PumpServerTest::slowSenderFrameEndsWithItsLastByte()
{
    ServerOptions options;
    options.turnaroundMs = 5;
    PumpServer server(options);
    QVERIFY(server.start());
    auto port = openPort(server.devicePath());
    QVERIFY(port);
    server.clearLog();
    const QByteArray query = frame("?SV");
    // All but the check character, then the check character long after the line time: the
    // pump can neither take the frame nor answer it before that byte.
    port->write(query.left(query.size() - 1));
    QVERIFY(port->waitForBytesWritten(100));
    QTest::qWait(40);
    const std::int64_t lastByteMs = server.elapsedMs();
    const Exchange result = exchange(*port, query.right(1), 13);
    QCOMPARE(result.answer.size(), 13);
    const double byteMs = 10000.0 / 9600;
    QVERIFY2(
        result.firstMs >= options.turnaroundMs + byteMs - 0.5,
        qPrintable(
            QString("first answer byte %1 ms after the last request byte").arg(result.firstMs)));
    QTRY_COMPARE(server.log().size(), std::size_t(2));
    const auto log = server.log();
    QCOMPARE(log[0].kind, LogEntry::Kind::Received);
    QVERIFY2(log[0].ms >= lastByteMs,
             qPrintable(QString("frame logged at %1 ms, its last byte written at %2 ms")
                            .arg(log[0].ms)
                            .arg(lastByteMs)));
    QVERIFY(log[1].ms >= log[0].ms + options.turnaroundMs);
}

void PumpServerTest::faultsOverTheLine_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");

    QByteArray wrong = bytes(dataFrame("01"));
    wrong[wrong.size() - 1] = static_cast<char>(wrong.back() ^ 0x55);
    QTest::newRow("NUL check character arrives as a byte") << "nullrc on" << frame("?RV")
                                                           << QByteArray("\x02"
                                                                         "00000001\x03\x00",
                                                                         11);
    QTest::newRow("wrong check character") << "badlrc on" << frame("?AD") << wrong;
    QTest::newRow("silent: nothing at all") << "silent on" << frame("?AD") << QByteArray();
    QTest::newRow("error refuses start")
        << "error overpressure on" << frame("KY1") << QByteArray(1, NAK);
}

void PumpServerTest::faultsOverTheLine()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);

    ServerOptions options;
    options.fast = true;
    PumpServer server(options);
    QVERIFY(server.start());
    auto port = openPort(server.devicePath());
    QVERIFY(port);
    QVERIFY(server.command(fault.toStdString()).ok);
    QCOMPARE(exchange(*port, request, answer.size() + 1, 300).answer, answer);
    QVERIFY(server.command("clear").ok);
    QCOMPARE(exchange(*port, frame("?AD"), 5).answer, bytes(dataFrame("01")));
}

void PumpServerTest::clientMayCloseAndReopen()
{
    ServerOptions options;
    options.fast = true;
    PumpServer server(options);
    QVERIFY(server.start());
    for (int round = 0; round < 3; ++round) {
        auto port = openPort(server.devicePath());
        QVERIFY(port);
        QCOMPARE(exchange(*port, frame("?SI"), 5).answer, bytes(dataFrame("01")));
    }
}

void PumpServerTest::logRecordsFramesAndVerdicts()
{
    ServerOptions options;
    options.fast = true;
    PumpServer server(options);
    QVERIFY(server.start());
    auto port = openPort(server.devicePath());
    QVERIFY(port);
    server.clearLog();
    const QByteArray query = frame("?DV");
    QCOMPARE(exchange(*port, "\x7fzz" + query, 11).answer.size(), 11);
    QTRY_COMPARE(server.log().size(), std::size_t(3));

    const auto log = server.log();
    QCOMPARE(log[0].kind, LogEntry::Kind::Received);
    QCOMPARE(bytes(log[0].bytes), QByteArray("\x7fzz"));
    QVERIFY(log[0].verdict.find("ignored") != std::string::npos);
    QCOMPARE(bytes(log[1].bytes), query);
    QCOMPARE(QString::fromStdString(log[1].verdict), QString("query ?DV = 00010000"));
    QCOMPARE(log[2].kind, LogEntry::Kind::Sent);
    QCOMPARE(bytes(log[2].bytes), bytes(dataFrame("00010000")));
    QVERIFY(log[2].ms >= log[1].ms && log[1].ms >= log[0].ms);
    QCOMPARE(QString::fromStdString(log[1].text()),
             QString("rx <STX>01?DV<ETX>-  query ?DV = 00010000"));
}

void PumpServerTest::hangupComesBackOnANewDevice()
{
    QTemporaryDir dir;
    ServerOptions options;
    options.fast = true;
    options.linkPath = (dir.path() + "/pump").toStdString();
    PumpServer server(options);
    QVERIFY(server.start());
    const QString link = QString::fromStdString(options.linkPath);
    const QString first = QString::fromStdString(server.devicePath());
    QCOMPARE(QFileInfo(link).symLinkTarget(), first);

    auto port = openPort(first.toStdString());
    QVERIFY(port);
    QCOMPARE(exchange(*port, frame("?SI"), 5).answer, bytes(dataFrame("01")));

    QElapsedTimer timer;
    timer.start();
    QVERIFY(server.command("hangup 1").ok);
    QTRY_VERIFY_WITH_TIMEOUT(port->error() != QSerialPort::NoError, 3000);
    QVERIFY(timer.elapsed() < 900);
    QTRY_VERIFY_WITH_TIMEOUT(!server.devicePath().empty(), 5000);
    QVERIFY2(timer.elapsed() >= 950, qPrintable(QString::number(timer.elapsed())));
    const QString second = QString::fromStdString(server.devicePath());
    QVERIFY(second != first); // the old one is still held by our client
    QCOMPARE(QFileInfo(link).symLinkTarget(), second);

    port.reset();
    auto again = openPort(link.toStdString());
    QVERIFY(again);
    QCOMPARE(exchange(*again, frame("?SI"), 5).answer, bytes(dataFrame("01")));
    server.stop();
    QVERIFY(!QFileInfo(link).isSymLink());
}

void PumpServerTest::randomStreamGetsOnlyWellFormedAnswers()
{
    ServerOptions options;
    options.fast = true;
    options.turnaroundMs = 0;
    PumpServer server(options);
    QVERIFY(server.start());
    auto port = openPort(server.devicePath());
    QVERIFY(port);

    std::mt19937 random(4242);
    QByteArray received;
    for (int round = 0; round < 200; ++round) {
        QByteArray chunk;
        for (int i = 0; i < 300; ++i) // control bytes often, so that frames form
            chunk += static_cast<char>(random() % 3 == 0 ? random() % 4 : random() % 256);
        if (round % 3 == 0) { // and now and then a frame for us with a byte changed
            QByteArray f = frame("LC050");
            f[static_cast<int>(3 + random() % (f.size() - 3))] = static_cast<char>(random() % 256);
            chunk += f;
        }
        port->write(chunk);
        port->waitForBytesWritten(100);
        while (port->waitForReadyRead(2))
            received += port->readAll();
    }
    while (port->waitForReadyRead(200))
        received += port->readAll();
    QVERIFY(!received.isEmpty());
    QVERIFY2(wellFormedAnswers(received), received.toHex().constData());
    // After all that the pump still understands a clean frame, after its idle limit.
    QTest::qWait(150);
    QCOMPARE(exchange(*port, frame("?SI"), 5).answer, bytes(dataFrame("01")));
}

QTEST_GUILESS_MAIN(PumpServerTest)
#include "PumpServerTest.moc"
