#include "BusinessLogic/Command.h"
#include "BusinessLogic/LrcChecker.h"
#include "TestFrames.h"
#include "serial/AnswerClassifier.h"

#include <QtTest>

using TestFrames::ack;
using TestFrames::body;
using TestFrames::frame;
using TestFrames::nak;

// The wire format without a port: check characters, value fields and the classification of
// whatever a pump (or the line) may deliver.
class tst_wireformat : public QObject
{
    Q_OBJECT

private slots:
    void lrcOfReferenceFrames_data();
    void lrcOfReferenceFrames();
    void valueField_data();
    void valueField();
    void classify_data();
    void classify();
    void nulCheckCharacter_data();
    void nulCheckCharacter();
};

static QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

void tst_wireformat::lrcOfReferenceFrames_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("lrc");
    QTest::newRow("empty string") << QByteArray() << 0x00;
    QTest::newRow("single byte") << QByteArray("\xA7", 1) << 0xA7;
    QTest::newRow("stop to 1") << bytes(body("01KY0")) << 0x22;
    QTest::newRow("?DV to 1") << bytes(body("01?DV")) << 0x2D;
    QTest::newRow("start to 1") << bytes(body("01KY1")) << 0x23;
    QTest::newRow("DV 12500") << bytes(body("01DV00012500")) << 0x14;
    QTest::newRow("DT 1 h 2 min 3 s") << bytes(body("01DT01020300")) << 0x10;
    QTest::newRow("MS1") << bytes(body("01MS1")) << 0x2F;
    QTest::newRow("L2 06") << bytes(body("01L206")) << 0x78;
}

void tst_wireformat::lrcOfReferenceFrames()
{
    QFETCH(QByteArray, input);
    QFETCH(int, lrc);
    const BusinessLogic::LrcChecker checker;
    QCOMPARE(static_cast<unsigned char>(checker.lrc(input.toStdString())), lrc);
}

void tst_wireformat::valueField_data()
{
    QTest::addColumn<qlonglong>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("volume 12500 in 8") << 12500LL << 8 << QByteArray("00012500");
    QTest::newRow("contrast 7 in 3") << 7LL << 3 << QByteArray("007");
    QTest::newRow("break 90 in 5") << 90LL << 5 << QByteArray("00090");
    QTest::newRow("zero in 1") << 0LL << 1 << QByteArray("0");
    QTest::newRow("negative keeps sign inside padding") << -5LL << 3 << QByteArray("0-5");
    QTest::newRow("negative wider than field") << -1234LL << 3 << QByteArray("-1234");
    QTest::newRow("too wide is sent in full") << 123456789LL << 8 << QByteArray("123456789");
}

void tst_wireformat::valueField()
{
    QFETCH(qlonglong, value);
    QFETCH(int, width);
    QFETCH(QByteArray, field);
    QCOMPARE(bytes(BusinessLogic::Command::valueField(static_cast<long>(value), width)), field);
}

void tst_wireformat::classify_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("isAck");
    QTest::addColumn<bool>("isNak");
    QTest::addColumn<bool>("noFrame");
    QTest::addColumn<bool>("addressConfirmed");
    QTest::addColumn<int>("frameLength");

    const QByteArray empty;
    QTest::newRow("ACK alone") << bytes(ack()) << empty << true << true << false << false << false
                               << -1;
    QTest::newRow("ACK after one noise byte")
        << bytes("\x7f" + ack()) << empty << false << false << false << true << false << -1;
    QTest::newRow("NAK alone") << bytes(nak()) << empty << true << false << true << false << false
                               << -1;
    QTest::newRow("ACK then garbage counts as ACK")
        << bytes(ack() + "zz") << empty << true << true << false << false << false << -1;
    QTest::newRow("valid data frame") << bytes(frame("00012500")) << QByteArray("00012500") << true
                                      << false << false << false << false << 11;
    QTest::newRow("wrong check character keeps the text")
        << bytes(body("00012500") + "X") << QByteArray("00012500") << false << false << false
        << false << false << 11;
    QTest::newRow("frame without check character loses last text character")
        << bytes(body("12345")) << QByteArray("1234") << false << false << false << false << false
        << 7;
    QTest::newRow("noise before the frame") << bytes("\x15\x06" + frame("42")) << QByteArray("42")
                                            << true << false << false << false << false << 5;
    QTest::newRow("trailing bytes after the frame are ignored")
        << bytes(frame("7") + frame("8")) << QByteArray("7") << true << false << false << false
        << false << 4;
    QTest::newRow("address confirmation 01")
        << bytes(frame("01")) << QByteArray("01") << true << false << false << false << true << 5;
    QTest::newRow("text 1 is no address confirmation")
        << bytes(frame("1")) << QByteArray("1") << true << false << false << false << false << 4;
    QTest::newRow("nothing") << empty << empty << false << false << false << true << false << -1;
    QTest::newRow("STX without ETX") << QByteArray("\x02"
                                                   "123")
                                     << empty << false << false << false << true << false << -1;
    QTest::newRow("ETX before STX") << QByteArray("\x03\x02"
                                                  "1")
                                    << empty << false << false << false << true << false << -1;
    QTest::newRow("text XORs to zero but its check character is missing")
        << bytes(body("01")) << QByteArray("0") << false << false << false << false << true << 4;
    QTest::newRow("STX ETX only") << QByteArray("\x02\x03") << QByteArray("\x03") << false << false
                                  << false << false << false << 2;
}

void tst_wireformat::classify()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(bool, isAck);
    QFETCH(bool, isNak);
    QFETCH(bool, noFrame);
    QFETCH(bool, addressConfirmed);
    QFETCH(int, frameLength);

    const auto r = AnswerClassifier::classify(received.toStdString(), "01");
    QCOMPARE(bytes(r.text), text);
    QCOMPARE(r.frameValid, valid);
    QCOMPARE(r.ack, isAck);
    QCOMPARE(r.nak, isNak);
    QCOMPARE(r.noFrame, noFrame);
    QCOMPARE(r.addressConfirmed, addressConfirmed);
    QCOMPARE(r.frameFound, frameLength >= 0);
    if (frameLength >= 0)
        QCOMPARE(r.frameLength, frameLength);
}

void tst_wireformat::nulCheckCharacter_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<bool>("awaits");
    QTest::addColumn<bool>("needsNul");
    // "01" between STX and ETX XORs to 0x00 with them: its check character is NUL.
    QTest::newRow("zero LRC, ETX last") << bytes(body("01")) << true << true;
    QTest::newRow("non-zero LRC, ETX last") << bytes(body("02")) << true << false;
    QTest::newRow("check character present") << bytes(frame("02")) << false << false;
    QTest::newRow("no STX") << QByteArray("01\x03") << false << false;
    QTest::newRow("empty") << QByteArray() << false << false;
}

void tst_wireformat::nulCheckCharacter()
{
    QFETCH(QByteArray, received);
    QFETCH(bool, awaits);
    QFETCH(bool, needsNul);
    QCOMPARE(AnswerClassifier::awaitsCheckCharacter(received.toStdString()), awaits);
    QCOMPARE(AnswerClassifier::needsNulCheckCharacter(received.toStdString()), needsNul);
}

QTEST_GUILESS_MAIN(tst_wireformat)
#include "tst_wireformat.moc"
