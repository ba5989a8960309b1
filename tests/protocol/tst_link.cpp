#include "BusinessLogic/Command.h"
#include "BusinessLogic/CommandSet.h"
#include "PtyPeer.h"
#include "TestFrames.h"
#include "serial/Communication.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using BusinessLogic::AnswerOutcome;
using BusinessLogic::Command;
using BusinessLogic::InvalidReason;
using TestFrames::ack;
using TestFrames::body;
using TestFrames::frame;
using TestFrames::nak;

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

enum Id {
    GetTimeActual = 3,
    Stop = 5,
    GetPumpStatus = 8,
    GetVolume = 9,
    SetVolume = 10,
    GetFlowRate = 12,
    GetCommRxState = 42,
    SetProtocolAnswer = 46,
    GetPumpAddress = 49,
    SetCommAddress = 50,
    SetInvalidLRC = 51,
    SetUnusedLRC = 52,
    SetDiscreteCommand = 53,
};

} // namespace

Q_DECLARE_METATYPE(AnswerOutcome)

// The serial link's waits, classification and flags against a scripted peer on a real
// pseudo-terminal. Time bounds carry generous margins: the machine may be busy.
class tst_link : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void addressInFrame_data();
    void addressInFrame();
    void testModes_data();
    void testModes();
    void answerClassification_data();
    void answerClassification();
    void nulCheckCharacterDroppedOnReception();
    void trickledAnswerIsCollectedWhole();
    void gapOf80msEndsTheWait();
    void protocolAnswerOffDoesNotWait();
    void protocolAnswerOnAgainWaits();
    void noPortOpenReturnsAtOnce();
    void vanishedPortIsSurvived();
    void replugComesBackOnTheNextCheck();
    void statusGroupTagging_data();
    void statusGroupTagging();
    void receiveState();
    void discreteCommand();
    void lateAnswerNeverBecomesTheNextAnswer();
    void waitBounds_data();
    void waitBounds();
    void chatteringLineIsCutOff_data();
    void chatteringLineIsCutOff();

private:
    Command *cmd(int id) { return table[static_cast<std::size_t>(id)]; }
    qint64 timedExecute(int id, long parameter = 0);

    std::unique_ptr<PtyPeer> peer;
    std::unique_ptr<Communication> link;
    std::unique_ptr<BusinessLogic::CommandSet> commands;
    std::vector<Command *> table;
};

void tst_link::init()
{
    peer = std::make_unique<PtyPeer>();
    QVERIFY(peer->isOpen());
    link = std::make_unique<Communication>();
    link->setCommPortName(peer->slavePath());
    QVERIFY(link->portOpen);
    link->setAddress(1);
    commands = std::make_unique<BusinessLogic::CommandSet>(link.get());
    table = commands->table();
}

void tst_link::cleanup()
{
    commands.reset();
    link.reset();
    peer.reset();
}

qint64 tst_link::timedExecute(int id, long parameter)
{
    QElapsedTimer t;
    t.start();
    cmd(id)->setParameter(parameter);
    cmd(id)->execute();
    return t.elapsed();
}

void tst_link::addressInFrame_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("address 0") << 0 << QByteArray("00KY0");
    QTest::newRow("address 7") << 7 << QByteArray("07KY0");
    QTest::newRow("address 99") << 99 << QByteArray("99KY0");
    QTest::newRow("address 100") << 100 << QByteArray("100KY0");
}

void tst_link::addressInFrame()
{
    QFETCH(int, address);
    QFETCH(QByteArray, text);
    cmd(SetCommAddress)->setParameter(static_cast<long>(address));
    cmd(SetCommAddress)->execute();
    QCOMPARE(link->address(), address);
    peer->queueReply(ack());
    cmd(Stop)->execute();
    QVERIFY(peer->waitForFrames(1, 1000));
    QCOMPARE(bytes(peer->received()), bytes(frame(text.toStdString())));
}

void tst_link::testModes_data()
{
    QTest::addColumn<int>("invalid");
    QTest::addColumn<int>("unused");
    QTest::addColumn<int>("checkCharacter");
    QTest::addColumn<bool>("marked");
    QTest::newRow("both off: the LRC") << 0 << 0 << 0x22 << false;
    QTest::newRow("invalid: LRC xor 0x55") << 1 << 0 << 0x77 << true;
    QTest::newRow("unused: U") << 0 << 1 << 0x55 << true;
    QTest::newRow("both: invalid wins") << 1 << 1 << 0x77 << true;
}

void tst_link::testModes()
{
    QFETCH(int, invalid);
    QFETCH(int, unused);
    QFETCH(int, checkCharacter);
    QFETCH(bool, marked);
    timedExecute(SetInvalidLRC, invalid);
    timedExecute(SetUnusedLRC, unused);
    QCOMPARE(link->txCheckCorrect, !marked);
    peer->queueReply(ack());
    cmd(Stop)->execute();
    QVERIFY(peer->waitForFrames(1, 1000));
    const std::string wire = peer->received();
    QCOMPARE(wire.size(), std::size_t(8));
    QCOMPARE(static_cast<unsigned char>(wire.back()), checkCharacter);
    if (marked) {
        QCOMPARE(cmd(Stop)->invalidCommandPositions(), std::vector<int>{8});
        QCOMPARE(cmd(Stop)->invalidCommandReasons(),
                 std::vector<InvalidReason>{BusinessLogic::InvalidLRC});
    } else {
        QVERIFY(cmd(Stop)->invalidCommandPositions().empty());
        QVERIFY(cmd(Stop)->invalidCommandReasons().empty());
    }
    // Reopening the port ends the invalid-LRC mode.
    link->setCommPortName(peer->slavePath());
    QVERIFY(!link->invalidLrcMode);
    QVERIFY(link->txCheckCorrect);
}

void tst_link::answerClassification_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("rxState");
    QTest::addColumn<std::vector<int>>("reasons");

    const auto r = [](std::initializer_list<int> l) {
        return std::vector<int>(l);
    };
    QTest::newRow("setting: ACK alone")
        << int(SetVolume) << bytes(ack()) << QByteArray() << QByteArray("1000") << r({1});
    QTest::newRow("setting: ACK after one noise byte")
        << int(SetVolume) << bytes("\x11" + ack()) << QByteArray() << QByteArray("0010") << r({0});
    QTest::newRow("setting: NAK alone")
        << int(SetVolume) << bytes(nak()) << QByteArray() << QByteArray("0100") << r({2});
    QTest::newRow("setting: silence")
        << int(SetVolume) << QByteArray() << QByteArray() << QByteArray("0010") << r({0});
    QTest::newRow("query: valid frame") << int(GetVolume) << bytes(frame("00012500"))
                                        << QByteArray("00012500") << QByteArray("0000") << r({});
    QTest::newRow("query: wrong check character keeps the text")
        << int(GetVolume) << bytes(body("00012500") + "?") << QByteArray("00012500")
        << QByteArray("0000") << r({0});
    QTest::newRow("query: frame without its check character")
        << int(GetVolume) << bytes(body("00012500")) << QByteArray("0001250") << QByteArray("0000")
        << r({0});
    QTest::newRow("query: NAK gives the empty-answer text")
        << int(GetVolume) << bytes(nak()) << QByteArray("10000") << QByteArray("0100") << r({2});
    QTest::newRow("query: address confirmation") << int(GetPumpAddress) << bytes(frame("01"))
                                                 << QByteArray("01") << QByteArray("0001") << r({});
}

void tst_link::answerClassification()
{
    QFETCH(int, id);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, rxState);
    QFETCH(std::vector<int>, reasons);

    if (!reply.isEmpty())
        peer->queueReply(reply.toStdString());
    timedExecute(id, 12500);
    QCOMPARE(bytes(cmd(id)->answer()), answer);
    cmd(GetCommRxState)->execute();
    QCOMPARE(bytes(cmd(GetCommRxState)->answer()), rxState);
    std::vector<int> actual;
    for (const InvalidReason reason : cmd(id)->invalidAnswerReasons())
        actual.push_back(reason);
    QCOMPARE(actual, reasons);
    QCOMPARE(cmd(id)->invalidAnswerPositions().size(), reasons.size());
}

void tst_link::nulCheckCharacterDroppedOnReception()
{
    // STX "01" ETX XORs to zero: the check character is NUL, which never reaches the buffer.
    peer->queueReply(body("01") + '\0');
    const qint64 elapsed = timedExecute(GetPumpAddress);
    QCOMPARE(bytes(cmd(GetPumpAddress)->answer()), QByteArray("01"));
    QVERIFY(link->rxFrameValid);
    QVERIFY(cmd(GetPumpAddress)->invalidAnswerReasons().empty());
    QCOMPARE(link->rxFrameLength, 5);
    // Completed at once, not after waiting for a check character that cannot come.
    QVERIFY2(elapsed < 60, qPrintable(QString::number(elapsed)));
}

void tst_link::trickledAnswerIsCollectedWhole()
{
    PtyPeer::Reply reply{frame("00012500"), 0, 50, false};
    peer->queueReply(reply);
    const qint64 elapsed = timedExecute(GetVolume);
    QCOMPARE(bytes(cmd(GetVolume)->answer()), QByteArray("00012500"));
    QVERIFY(link->rxFrameValid);
    // 12 bytes 50 ms apart: about 550 ms, each gap re-arming the 80 ms idle time-out.
    QVERIFY2(elapsed >= 450 && elapsed < 1500, qPrintable(QString::number(elapsed)));
}

void tst_link::gapOf80msEndsTheWait()
{
    peer->queueReply(PtyPeer::Reply{"\x02"
                                    "0001",
                                    0, 0, false});
    QElapsedTimer t;
    t.start();
    cmd(GetVolume)->execute();
    const qint64 elapsed = t.elapsed();
    // The rest never comes: the idle time-out ends the wait, the text is incomplete.
    QCOMPARE(bytes(cmd(GetVolume)->answer()), QByteArray("10000"));
    QVERIFY(link->rxNoFrame);
    QVERIFY2(elapsed >= 78 && elapsed < 300, qPrintable(QString::number(elapsed)));
}

void tst_link::protocolAnswerOffDoesNotWait()
{
    peer->queueReply(ack());
    timedExecute(SetProtocolAnswer, 0);
    QVERIFY(!link->protocolAnswer);
    const qint64 elapsed = timedExecute(SetVolume, 12500);
    QVERIFY2(elapsed < 40, qPrintable(QString::number(elapsed)));
    QVERIFY(link->rxNoFrame);
}

void tst_link::protocolAnswerOnAgainWaits()
{
    timedExecute(SetProtocolAnswer, 0);
    timedExecute(SetProtocolAnswer, 1); // silent pump: the flag follows the value sent anyway
    QVERIFY(link->protocolAnswer);
    const qint64 silent = timedExecute(SetVolume, 12500);
    QVERIFY2(silent >= 78 && silent < 300, qPrintable(QString::number(silent)));
}

void tst_link::noPortOpenReturnsAtOnce()
{
    Communication closed;
    BusinessLogic::CommandSet set(&closed);
    const std::vector<Command *> t = set.table();
    // The answer lives in the link, so each is read right after its own exchange.
    const std::pair<int, QByteArray> expected[] = {{SetVolume, QByteArray()},
                                                   {GetVolume, QByteArray("10000")},
                                                   {GetTimeActual, QByteArray("00000000")},
                                                   {61, QByteArray("OFFLINE")},
                                                   {45, QByteArray("0011000000")}};
    for (const auto &[id, text] : expected) {
        QElapsedTimer timer;
        timer.start();
        t[id]->execute();
        QVERIFY2(timer.elapsed() < 20, qPrintable(QString::number(id)));
        QVERIFY(closed.rxNoFrame);
        QCOMPARE(bytes(t[id]->answer()), text);
    }
}

void tst_link::vanishedPortIsSurvived()
{
    peer->hangUp();
    for (int i = 0; i < 3; ++i) {
        const qint64 elapsed = timedExecute(GetVolume);
        QVERIFY2(elapsed < 400, qPrintable(QString::number(elapsed)));
        QCOMPARE(bytes(cmd(GetVolume)->answer()), QByteArray("10000"));
        QVERIFY(link->rxNoFrame);
    }
    // The lost port is closed, with the system's reason kept for the operator.
    QVERIFY(!link->portOpen);
    QVERIFY(!link->portError.isEmpty());
}

void tst_link::replugComesBackOnTheNextCheck()
{
    // A stable name for a changing device, as udev gives a replugged adapter.
    QTemporaryDir dir;
    const QString stable = dir.filePath("ttyPUMP");
    QVERIFY(QFile::link(peer->slavePath(), stable));
    link->setCommPortName(stable);
    QVERIFY(link->portOpen);
    peer->hangUp();
    timedExecute(GetVolume);
    QVERIFY(!link->portOpen);

    auto replugged = std::make_unique<PtyPeer>();
    QVERIFY(QFile::remove(stable));
    QVERIFY(QFile::link(replugged->slavePath(), stable));
    replugged->queueReply(frame("01"));
    timedExecute(43);
    QVERIFY(link->portOpen);
    QVERIFY(link->portError.isEmpty());
    QCOMPARE(bytes(cmd(43)->answer()), QByteArray("01"));
    QCOMPARE(bytes(replugged->received()), bytes(frame("01?SI")));
    commands.reset();
    link.reset();
}

void tst_link::statusGroupTagging_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("group 4 answered 123") << 4 << bytes(frame("123")) << QByteArray("123 4");
    QTest::newRow("group 4 silent") << 4 << QByteArray() << QByteArray("0 4");
    QTest::newRow("group 0 answered 000") << 0 << bytes(frame("000")) << QByteArray("000 0");
}

void tst_link::statusGroupTagging()
{
    QFETCH(int, group);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, answer);
    if (!reply.isEmpty())
        peer->queueReply(reply.toStdString());
    timedExecute(GetPumpStatus, group);
    QCOMPARE(bytes(cmd(GetPumpStatus)->answer()), answer);
    QCOMPARE(bytes(peer->received()), bytes(frame("01?SS" + std::to_string(group))));
}

void tst_link::receiveState()
{
    const auto state = [this] {
        cmd(GetCommRxState)->execute();
        return bytes(cmd(GetCommRxState)->answer());
    };
    peer->queueReply(ack());
    timedExecute(SetVolume, 1000);
    QCOMPARE(state(), QByteArray("1000"));
    // The address confirmation is sticky through ordinary answers ...
    peer->queueReply(frame("01"));
    timedExecute(GetPumpAddress);
    QCOMPARE(state(), QByteArray("0001"));
    peer->queueReply(frame("00012500"));
    timedExecute(GetVolume);
    QCOMPARE(state(), QByteArray("0001"));
    peer->queueReply(ack());
    timedExecute(SetVolume, 1000);
    QCOMPARE(state(), QByteArray("1001"));
    // ... until an exchange gets nothing usable.
    timedExecute(GetVolume);
    QCOMPARE(state(), QByteArray("0010"));
}

void tst_link::discreteCommand()
{
    peer->queueReply(frame("0011001023"));
    cmd(SetDiscreteCommand)->setParameter(std::string("?SV"));
    cmd(SetDiscreteCommand)->execute();
    QCOMPARE(bytes(cmd(SetDiscreteCommand)->answer()), QByteArray("0011001023"));
    QCOMPARE(bytes(peer->received()), bytes(frame("01?SV")));
    peer->clearReceived();
    timedExecute(SetDiscreteCommand, 5);
    QCOMPARE(bytes(peer->received()), bytes(frame("015")));
    QCOMPARE(bytes(cmd(SetDiscreteCommand)->answer()), QByteArray("DISCRETE COMMAND"));
}

void tst_link::lateAnswerNeverBecomesTheNextAnswer()
{
    // The pump answers "?DV" only after the wait has given up ...
    peer->queueReply(PtyPeer::Reply{frame("00012500"), 150, 0, false});
    timedExecute(GetVolume);
    QCOMPARE(bytes(cmd(GetVolume)->answer()), QByteArray("10000"));
    QTest::qWait(200); // the late answer is now waiting in the port
    // ... and answers "?RV" properly: that answer, not the late one, belongs to "?RV".
    peer->queueReply(frame("00020000"));
    timedExecute(GetFlowRate);
    QCOMPARE(bytes(cmd(GetFlowRate)->answer()), QByteArray("00020000"));
    QVERIFY(link->rxFrameValid);
}

void tst_link::waitBounds_data()
{
    // The reply comes after `delay` ms, byte by byte `perByte` ms apart, or with its last byte
    // held back `lastLate` ms; kept: what the link keeps as received ("" = not checked).
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("protocolAnswer");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<int>>("delayPerByteLastLate");
    QTest::addColumn<AnswerOutcome>("outcome");
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<int>("fromMs");
    QTest::addColumn<int>("belowMs");

    using O = AnswerOutcome;
    using L = QList<int>;
    const QByteArray any;
    // "01" between STX and ETX XORs to zero with them: the check character is NUL.
    const QByteArray zero = bytes(body("01"));
    QTest::newRow("ACK 10 ms after the frame ends the acknowledge wait")
        << int(SetVolume) << true << bytes(ack()) << L{10, 0, 0} << O::Answered << any << 9 << 60;
    QTest::newRow("bytes without ACK do not re-arm its 80 ms window")
        << int(SetVolume) << true << bytes(std::string(8, '\x11')) << L{0, 25, 0} << O::Silent
        << any << 78 << 170;
    QTest::newRow("NAK ends the end-of-text wait while the protocol answer is on")
        << int(GetVolume) << true << bytes(nak()) << L{0, 0, 0} << O::Nak << any << 0 << 60;
    QTest::newRow("NAK does not end it with the protocol answer off")
        << int(GetVolume) << false << bytes(nak()) << L{0, 0, 0} << O::Nak << any << 78 << 250;
    QTest::newRow("check character 30 ms after ETX: in time")
        << int(GetVolume) << true << bytes(frame("00012500")) << L{0, 0, 30} << O::Answered << any
        << 29 << 250;
    // "00041070" between STX and ETX XORs to ETX with them: the check character is ETX.
    QTest::newRow("check character that is ETX, 10 ms after the frame: in time")
        << int(GetFlowRate) << true << bytes(frame("00041070")) << L{0, 0, 10} << O::Answered
        << bytes(frame("00041070")) << 9 << 50;
    QTest::newRow("check character 130 ms after ETX: invalid")
        << int(GetVolume) << true << bytes(frame("00012500")) << L{0, 0, 130} << O::InvalidFrame
        << bytes(body("00012500")) << 78 << 250;
    QTest::newRow("NUL check character 30 ms after ETX: valid")
        << int(GetPumpAddress) << true << zero + '\0' << L{0, 0, 30} << O::Answered << zero + '\0'
        << 29 << 250;
    QTest::newRow("text XORs to zero, wrong check character: invalid")
        << int(GetPumpAddress) << true << zero + 'U' << L{0, 0, 30} << O::InvalidFrame << zero + 'U'
        << 29 << 250;
    QTest::newRow("text XORs to zero, no check character: invalid")
        << int(GetPumpAddress) << true << zero << L{0, 0, 0} << O::InvalidFrame << zero << 78
        << 250;
    QTest::newRow("bytes after a NUL in the same read are dropped")
        << int(GetPumpAddress) << true << zero + '\0' + bytes(ack() + frame("99")) << L{0, 0, 0}
        << O::Answered << zero + '\0' << 0 << 60;
}

void tst_link::waitBounds()
{
    QFETCH(int, id);
    QFETCH(bool, protocolAnswer);
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, delayPerByteLastLate);
    QFETCH(AnswerOutcome, outcome);
    QFETCH(QByteArray, kept);
    QFETCH(int, fromMs);
    QFETCH(int, belowMs);

    link->protocolAnswer = protocolAnswer;
    const QList<int> &t = delayPerByteLastLate;
    peer->queueReply(PtyPeer::Reply{reply.toStdString(), t[0], t[1], false, t[2]});
    const qint64 elapsed = timedExecute(id, 12500);
    QCOMPARE(cmd(id)->outcome(), outcome);
    if (!kept.isEmpty())
        QCOMPARE(bytes(link->lastRawReceived), kept);
    QVERIFY2(elapsed >= fromMs && elapsed < belowMs, qPrintable(QString::number(elapsed)));
}

void tst_link::chatteringLineIsCutOff_data()
{
    // A balance or GPS receiver on the wrong adapter writes `piece` every `everyMs`, never ETX.
    // A valid answer trickled at the idle window's limit (12 bytes to ETX) would take 960 ms.
    // Then it is quiet, and the pump's `next` reply leaves the flag `after`.
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("piece");
    QTest::addColumn<int>("everyMs");
    QTest::addColumn<int>("fromMs");
    QTest::addColumn<int>("belowMs");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<bool>("after");
    const QByteArray stream("$GPGSV,3,1,11,03,03,1");
    QTest::newRow("query: a balance line every 20 ms; a valid answer clears the flag")
        << int(GetVolume) << QByteArray("ST,GS,+  12.345 g\r\n") << 20 << 0 << 500
        << bytes(frame("00012500")) << false;
    QTest::newRow("query: a continuous stream; silence clears it")
        << int(GetVolume) << stream << 2 << 0 << 500 << QByteArray() << false;
    QTest::newRow("query: one byte every 40 ms; NAK clears it")
        << int(GetVolume) << QByteArray("7") << 40 << 960 << 1500 << bytes(nak()) << false;
    QTest::newRow("setting: a continuous stream; a noise byte alone keeps it")
        << int(SetVolume) << stream << 2 << 0 << 500 << QByteArray("\x11") << true;
}

void tst_link::chatteringLineIsCutOff()
{
    QFETCH(int, id);
    QFETCH(QByteArray, piece);
    QFETCH(int, everyMs);
    QFETCH(int, fromMs);
    QFETCH(int, belowMs);
    QFETCH(QByteArray, next);
    QFETCH(bool, after);

    qint64 elapsed = 0;
    {
        std::atomic<bool> talking{true};
        std::thread device([&] {
            for (; talking; std::this_thread::sleep_for(std::chrono::milliseconds(everyMs)))
                peer->inject(piece.toStdString());
        });
        const auto silence = qScopeGuard([&] {
            talking = false;
            device.join();
        });
        QTest::qWait(50);
        elapsed = timedExecute(id, 12500);
    }
    QVERIFY2(elapsed >= fromMs && elapsed < belowMs, qPrintable(QString::number(elapsed)));
    QCOMPARE(cmd(id)->outcome(), AnswerOutcome::Silent);
    // A few times the longest answer (13 bytes), however much the line sent.
    QVERIFY2(link->lastRawReceived.size() <= 52, link->lastRawReceived.c_str());
    QVERIFY(link->lineChattering);

    if (!next.isEmpty())
        peer->queueReply(next.toStdString());
    timedExecute(GetVolume);
    QCOMPARE(link->lineChattering, after);
}

QTEST_GUILESS_MAIN(tst_link)
#include "tst_link.moc"
