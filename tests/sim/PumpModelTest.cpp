#include "PumpModel.h"
#include "DosingRun.h"
#include "SimProtocol.h"

#include <QtTest>

using namespace fluxosim;

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

std::string frame(const QString &body, int address = 1)
{
    return commandFrame(address, body.toStdString());
}

const QByteArray ack(1, ACK);
const QByteArray nak(1, NAK);
const QByteArray silence;

QByteArray data(const char *text)
{
    return bytes(dataFrame(text));
}

} // namespace

class PumpModelTest : public QObject
{
    Q_OBJECT

private slots:
    void settings_data();
    void settings();
    void frames_data();
    void frames();
    void protocolAnswerOff();
    void addressChangeAndFactoryReset();
    void run_data();
    void run();
    void pauseResumeStop();
    void status_data();
    void status();
    void faults_data();
    void faults();
    void silentPumpObeysNothing();
    void dropShareFollowsSeed();
    void controlGrammar_data();
    void controlGrammar();
    void randomFramesGetNakOrSilence();
};

// ---- Settings: every value-carrying mnemonic, its width and its range ----

void PumpModelTest::settings_data()
{
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("fluxo02");
    QTest::addColumn<QList<qlonglong>>("accepted");
    QTest::addColumn<QList<qlonglong>>("rejected");

    using L = QList<qlonglong>;
    QTest::newRow("RV flow, FLUXO 10") << "RV" << 8 << false << L{1000, 100000} << L{999, 100001};
    QTest::newRow("RV flow, FLUXO 02") << "RV" << 8 << true << L{1000, 20000} << L{20001, 100000};
    QTest::newRow("DV volume") << "DV" << 8 << false << L{100, 999900} << L{99, 999901};
    QTest::newRow("DT dispense time")
        << "DT" << 8 << false << L{0, 100, 5900, 1395900} << L{6000, 600000, 1400000, 101};
    QTest::newRow("DB break time") << "DB" << 5 << false << L{0, 5999} << L{6000};
    QTest::newRow("DN cycles") << "DN" << 5 << false << L{0, 1, 1000} << L{1001};
    QTest::newRow("RA analog input") << "RA" << 1 << false << L{0, 3, 9} << L{4, 8};
    QTest::newRow("RB analog range") << "RB" << 1 << false << L{0, 1} << L{2};
    QTest::newRow("L1 digital input 1") << "L1" << 2 << false << L{0, 1, 6} << L{2, 5, 7};
    QTest::newRow("L2 digital input 2")
        << "L2" << 2 << false << L{0, 1, 6, 8, 9, 10} << L{2, 7, 11};
    QTest::newRow("RS digital output") << "RS" << 1 << false << L{0, 4} << L{5};
    QTest::newRow("LS language") << "LS" << 1 << false << L{0, 6} << L{7};
    QTest::newRow("CF calibration volume")
        << "CF" << 8 << false << L{1000, 100000} << L{999, 100001};
    QTest::newRow("CH calibration percent")
        << "CH" << 5 << false << L{8000, 12000} << L{7999, 12001};
    QTest::newRow("SA autostart") << "SA" << 1 << false << L{0, 1} << L{2};
    QTest::newRow("SP protocol answer") << "SP" << 1 << false << L{1} << L{2};
    QTest::newRow("PF! factory mode") << "PF!" << 1 << false << L{0, 1} << L{2};
    QTest::newRow("CC pump profile") << "CC" << 1 << false << L{0, 3} << L{4};
    QTest::newRow("LC contrast") << "LC" << 3 << false << L{0, 100} << L{101};
    QTest::newRow("PM! pump model") << "PM!" << 1 << false << L{0, 5} << L{6};
    QTest::newRow("ZF! stroke volume") << "ZF!" << 5 << false << L{1, 99999} << L{0};
    QTest::newRow("ZR! measured volume") << "ZR!" << 8 << false << L{1, 99999999} << L{0};
    QTest::newRow("MP maintenance position") << "MP" << 1 << false << L{1} << L{0, 2};
    QTest::newRow("MS run mode") << "MS" << 1 << false << L{0, 2} << L{3};
}

void PumpModelTest::settings()
{
    QFETCH(QString, mnemonic);
    QFETCH(int, width);
    QFETCH(bool, fluxo02);
    QFETCH(QList<qlonglong>, accepted);
    QFETCH(QList<qlonglong>, rejected);

    PumpConfig config;
    config.type = fluxo02 ? PumpType::Fluxo02 : PumpType::Fluxo10;
    PumpModel pump(config);
    auto send = [&](const QString &value) {
        return bytes(pump.handle(frame(mnemonic + value), 0).bytes);
    };
    auto field = [&](qlonglong v) {
        return QString::fromStdString(zeroFilled(v, width));
    };
    const std::string query = frame("?" + mnemonic);

    QString last;
    for (qlonglong v : accepted) {
        QCOMPARE(send(field(v)), ack);
        last = field(v);
        QCOMPARE(bytes(pump.handle(query, 0).bytes), data(last.toLatin1().constData()));
    }
    for (qlonglong v : rejected) {
        QCOMPARE(send(field(v)), nak);
        QCOMPARE(bytes(pump.handle(query, 0).bytes), data(last.toLatin1().constData()));
    }
    // Malformed: one digit short, one digit too many, not digits, a minus sign.
    QCOMPARE(send(field(accepted.first()).mid(1)), nak);
    QCOMPARE(send("0" + field(accepted.first())), nak);
    QCOMPARE(send(QString(width, 'x')), nak);
    QCOMPARE(send(QString(width - 1, '0') + "-"), nak);
}

// ---- Frames with a fixed answer: defaults, addressing, check character, malformed ----

void PumpModelTest::frames_data()
{
    QTest::addColumn<bool>("fluxo02");
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("answer");

    auto f = [](const char *body, int address = 1) {
        return bytes(frame(body, address));
    };
    QByteArray badCheck = f("?DV");
    badCheck[badCheck.size() - 1] = static_cast<char>(badCheck.back() ^ 0x01);
    QByteArray badCheckOtherAddress = f("?DV", 2);
    badCheckOtherAddress[badCheckOtherAddress.size() - 1] = 'U';

    QTest::newRow("?DV default 10 ml") << false << f("?DV") << data("00010000");
    QTest::newRow("?RV default 10 ml/min") << false << f("?RV") << data("00010000");
    QTest::newRow("?DT default none") << false << f("?DT") << data("00000000");
    QTest::newRow("?DB default 1 s") << false << f("?DB") << data("00001");
    QTest::newRow("?DN default 0") << false << f("?DN") << data("00000");
    QTest::newRow("?CH default 100 %") << false << f("?CH") << data("10000");
    QTest::newRow("?LC default 40 %") << false << f("?LC") << data("040");
    QTest::newRow("?L2 two digits") << false << f("?L2") << data("00");
    QTest::newRow("?SP default on") << false << f("?SP") << data("1");
    QTest::newRow("?ZF! default 20.2 ul") << false << f("?ZF!") << data("00202");
    QTest::newRow("?MP default 0") << false << f("?MP") << data("0");
    QTest::newRow("?SV FLUXO 10 firmware 1.23") << false << f("?SV") << data("0011001023");
    QTest::newRow("?SV FLUXO 02 firmware 1.23") << true << f("?SV") << data("0010201023");
    QTest::newRow("?PM! FLUXO 02 is M02-A") << true << f("?PM!") << data("2");
    QTest::newRow("?SI the address") << false << f("?SI") << data("01");
    QTest::newRow("?AD the address") << false << f("?AD") << data("01");
    QTest::newRow("?TV idle") << false << f("?TV") << data("00000000");
    QTest::newRow("?TT idle") << false << f("?TT") << data("00000000");
    QTest::newRow("?SS0 reports 000") << false << f("?SS0") << data("000");
    QTest::newRow("?SS5 reports 000") << false << f("?SS5") << data("000");
    QTest::newRow("stop when stopped") << false << f("KY0") << ack;
    QTest::newRow("IP factory defaults") << false << f("IP") << ack;
    QTest::newRow("other address: silence") << false << f("?DV", 2) << silence;
    QTest::newRow("address 99: silence") << false << f("?DV", 99) << silence;
    QTest::newRow("address not digits: silence") << false << bytes(dataFrame("x1?DV")) << silence;
    QTest::newRow("wrong check character: NAK") << false << badCheck << nak;
    QTest::newRow("wrong check, other address: silence")
        << false << badCheckOtherAddress << silence;
    QTest::newRow("no ETX before check: silence") << false
                                                  << QByteArray("\x02"
                                                                "01?DV-",
                                                                7)
                                                  << silence;
    QTest::newRow("unknown mnemonic") << false << f("XY1") << nak;
    QTest::newRow("lower-case mnemonic") << false << f("dv00010000") << nak;
    QTest::newRow("unknown query") << false << f("?XY") << nak;
    QTest::newRow("query of an action") << false << f("?KY") << nak;
    QTest::newRow("query with a value") << false << f("?DV1") << nak;
    QTest::newRow("status group 7") << false << f("?SS7") << nak;
    QTest::newRow("status without group") << false << f("?SS") << nak;
    QTest::newRow("empty body") << false << f("") << nak;
    QTest::newRow("IP with a value") << false << f("IP1") << nak;
    QTest::newRow("KY 4") << false << f("KY4") << nak;
    QTest::newRow("KY two digits") << false << f("KY01") << nak;
    QTest::newRow("pause when stopped") << false << f("KY3") << nak;
}

void PumpModelTest::frames()
{
    QFETCH(bool, fluxo02);
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, answer);
    PumpConfig config;
    config.type = fluxo02 ? PumpType::Fluxo02 : PumpType::Fluxo10;
    PumpModel pump(config);
    QCOMPARE(bytes(pump.handle(in.toStdString(), 0).bytes), answer);
}

void PumpModelTest::protocolAnswerOff()
{
    PumpModel pump;
    QCOMPARE(bytes(pump.handle(frame("SP0"), 0).bytes), silence);
    QCOMPARE(bytes(pump.handle(frame("DV00012500"), 0).bytes), silence);
    QCOMPARE(bytes(pump.handle(frame("DV00000001"), 0).bytes), silence); // out of range
    QCOMPARE(bytes(pump.handle(frame("XY1"), 0).bytes), silence);
    QCOMPARE(bytes(pump.handle(frame("KY1"), 0).bytes), silence);
    QCOMPARE(bytes(pump.handle(frame("?DV"), 0).bytes), data("00012500"));
    QCOMPARE(bytes(pump.handle(frame("?SS1"), 0).bytes), data("001"));
    QCOMPARE(bytes(pump.handle(frame("?SP"), 0).bytes), data("0"));
    QCOMPARE(bytes(pump.handle(frame("SP1"), 0).bytes), ack);
    QCOMPARE(bytes(pump.handle(frame("DV00000001"), 0).bytes), nak);
}

void PumpModelTest::addressChangeAndFactoryReset()
{
    PumpConfig config;
    config.address = 7;
    PumpModel pump(config);
    QCOMPARE(bytes(pump.handle(frame("?AD", 7), 0).bytes), data("07"));
    QCOMPARE(bytes(pump.handle(frame("AD99", 7), 0).bytes), nak);
    QCOMPARE(bytes(pump.handle(frame("AD12", 7), 0).bytes), ack);
    QCOMPARE(bytes(pump.handle(frame("?AD", 7), 0).bytes), silence);
    QCOMPARE(bytes(pump.handle(frame("?SI", 12), 0).bytes), data("12"));
    QCOMPARE(bytes(pump.handle(frame("LC077", 12), 0).bytes), ack);
    QCOMPARE(bytes(pump.handle(frame("MS1", 12), 0).bytes), ack);
    QCOMPARE(bytes(pump.handle(frame("PM!5", 12), 0).bytes), ack);
    QCOMPARE(bytes(pump.handle(frame("?SV", 12), 0).bytes), data("0010201023"));
    QCOMPARE(bytes(pump.handle(frame("RV00050000", 12), 0).bytes), nak); // FLUXO 02 now

    QCOMPARE(bytes(pump.handle(frame("IP", 12), 0).bytes), ack);
    QCOMPARE(bytes(pump.handle(frame("?LC", 12), 0).bytes), silence); // back at its start address
    QCOMPARE(bytes(pump.handle(frame("?LC", 7), 0).bytes), data("040"));
    QCOMPARE(bytes(pump.handle(frame("?MS", 7), 0).bytes), data("0"));
    QCOMPARE(bytes(pump.handle(frame("?SV", 7), 0).bytes), data("0011001023"));
}

// ---- The run model, on the injected clock ----

void PumpModelTest::run_data()
{
    QTest::addColumn<bool>("fluxo02");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("atMs");
    QTest::addColumn<QByteArray>("volume");
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<bool>("moving");

    const QStringList flow60{"MS0", "RV00060000"};
    const QStringList cycles{"MS1", "DV00010000", "DN00003", "DB00004"};
    QTest::newRow("flow 60 ml/min, 10 s")
        << false << flow60 << "KY1" << 10000 << data("00010000") << data("00001000") << true;
    QTest::newRow("flow: hours, minutes, hundredths")
        << false << flow60 << "KY1" << 3723450 << data("03723450") << data("01020345") << true;
    QTest::newRow("flow ends with its dispense time")
        << false << (flow60 + QStringList{"DT00000500"}) << "KY1" << 8000 << data("00005000")
        << data("00000500") << false;
    QTest::newRow("volume at maximum flow, half way")
        << false << QStringList{"MS1", "DV00010000"} << "KY1" << 3000 << data("00005000")
        << data("00000300") << true;
    QTest::newRow("volume at maximum flow, done")
        << false << QStringList{"MS1", "DV00010000"} << "KY1" << 9000 << data("00010000")
        << data("00000600") << false;
    QTest::newRow("volume spread over dispense time")
        << false << QStringList{"MS1", "DV00020000", "DT00001000"} << "KY1" << 5000
        << data("00010000") << data("00000500") << true;
    QTest::newRow("cycles: break after the first dose")
        << false << cycles << "KY1" << 8000 << data("00010000") << data("00000800") << false;
    QTest::newRow("cycles: second dose half done")
        << false << cycles << "KY1" << 13000 << data("00015000") << data("00001300") << true;
    QTest::newRow("cycles: done, no break after the last")
        << false << cycles << "KY1" << 40000 << data("00030000") << data("00002600") << false;
    QTest::newRow("cycles 1000 are endless")
        << false << QStringList{"MS1", "DV00010000", "DN01000", "DB00004"} << "KY1" << 103000
        << data("00105000") << data("00014300") << true;
    QTest::newRow("cycles 0 dose once")
        << false << QStringList{"MS1", "DV00010000", "DN00000", "DB00004"} << "KY1" << 20000
        << data("00010000") << data("00000600") << false;
    QTest::newRow("mode 2: set flow for the dispense time")
        << false << QStringList{"MS2", "RV00030000", "DT00002000"} << "KY1" << 30000
        << data("00010000") << data("00002000") << false;
    QTest::newRow("prime FLUXO 02 at 20 ml/min") << true << QStringList{"MS1"} << "KY2" << 30000
                                                 << data("00010000") << data("00003000") << true;
    QTest::newRow("prime FLUXO 10 at 100 ml/min")
        << false << QStringList{} << "KY2" << 6000 << data("00010000") << data("00000600") << true;
}

void PumpModelTest::run()
{
    QFETCH(bool, fluxo02);
    QFETCH(QStringList, setup);
    QFETCH(QString, start);
    QFETCH(int, atMs);
    QFETCH(QByteArray, volume);
    QFETCH(QByteArray, time);
    QFETCH(bool, moving);

    PumpConfig config;
    config.type = fluxo02 ? PumpType::Fluxo02 : PumpType::Fluxo10;
    PumpModel pump(config);
    const std::int64_t t0 = 500000; // the clock does not start at zero
    for (const QString &body : setup)
        QCOMPARE(bytes(pump.handle(frame(body), 0).bytes), ack);
    QCOMPARE(bytes(pump.handle(frame(start), t0).bytes), ack);
    QCOMPARE(bytes(pump.handle(frame("?TV"), t0 + atMs).bytes), volume);
    QCOMPARE(bytes(pump.handle(frame("?TT"), t0 + atMs).bytes), time);
    QCOMPARE(pump.statusWord(1, t0 + atMs) & 1, moving ? 1 : 0);
}

void PumpModelTest::pauseResumeStop()
{
    PumpModel pump;
    auto send = [&](const char *body, std::int64_t t) {
        return bytes(pump.handle(frame(body), t).bytes);
    };
    QCOMPARE(send("RV00060000", 0), ack);
    QCOMPARE(send("KY1", 0), ack);
    QCOMPARE(send("KY2", 1000), nak); // no priming while running
    QCOMPARE(send("KY3", 4000), ack);
    QCOMPARE(send("?TV", 10000), data("00004000"));
    QCOMPARE(send("?TT", 10000), data("00000400"));
    QCOMPARE(pump.statusWord(1, 10000) & 1, 0);
    QCOMPARE(send("KY3", 10000), nak); // already paused
    QCOMPARE(send("KY1", 10000), ack); // resumes
    QCOMPARE(send("?TV", 13000), data("00007000"));
    QCOMPARE(send("KY0", 13000), ack);
    QCOMPARE(send("?TV", 20000), data("00007000"));
    QCOMPARE(send("?TT", 20000), data("00000700"));
    QCOMPARE(pump.moving(20000), false);
    QCOMPARE(send("KY1", 20000), ack); // a new run counts from zero
    QCOMPARE(send("?TV", 21000), data("00001000"));
    // A balance under the outlet holds both runs, and sees no motion during the pause.
    QCOMPARE(pump.deliveredVolume(21000), std::int64_t(8000));
    QCOMPARE(pump.moving(21000), true);
}

// ---- Status words ----

void PumpModelTest::status_data()
{
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<QStringList>("bodies");
    QTest::addColumn<int>("atMs");
    QTest::addColumn<int>("group");
    QTest::addColumn<QByteArray>("answer");

    const QStringList none;
    const QStringList running{"KY1"};
    QTest::newRow("1: idle") << none << none << 0 << 1 << data("000");
    QTest::newRow("1: motor in motion") << none << running << 100 << 1 << data("001");
    QTest::newRow("1: paused is not in motion")
        << none << QStringList{"KY1", "KY3"} << 100 << 1 << data("000");
    QTest::newRow("1: display off forced")
        << QStringList{"status 1 2 on"} << none << 0 << 1 << data("004");
    QTest::newRow("1: any error is a pump error")
        << QStringList{"error power on"} << none << 0 << 1 << data("002");
    QTest::newRow("2: motor adjusted") << none << none << 0 << 2 << data("001");
    QTest::newRow("2: dead centre off") << none << running << 250 << 2 << data("001");
    QTest::newRow("2: dead centre on") << none << running << 750 << 2 << data("009");
    QTest::newRow("2: inputs forced active")
        << QStringList{"status 2 1 on", "status 2 2 on"} << none << 0 << 2 << data("007");
    QTest::newRow("2: motor not adjusted error")
        << QStringList{"error adjust on"} << none << 0 << 2 << data("000");
    QTest::newRow("2: forced then auto again")
        << QStringList{"status 2 0 off", "status 2 0 auto"} << none << 0 << 2 << data("001");
    QTest::newRow("3: flow mode is run mode")
        << none << QStringList{"MS0"} << 0 << 3 << data("001");
    QTest::newRow("3: volume mode") << none << QStringList{"MS1"} << 0 << 3 << data("000");
    QTest::newRow("4: master stop not active") << none << none << 0 << 4 << data("008");
    QTest::newRow("4: dispense mode") << none << QStringList{"MS2"} << 0 << 4 << data("009");
    QTest::newRow("4: master stop forced active")
        << QStringList{"status 4 3 off"} << none << 0 << 4 << data("000");
    QTest::newRow("6: overpressure")
        << QStringList{"error overpressure on"} << none << 0 << 6 << data("001");
    QTest::newRow("6: every named error")
        << QStringList{"error overpressure on", "error signal on",      "error power on",
                       "error adjust on",       "error temperature on", "error encoder on"}
        << none << 0 << 6 << data("249");
    QTest::newRow("6: set and cleared through status")
        << QStringList{"status 6 7 on", "status 6 3 on", "status 6 7 off"} << none << 0 << 6
        << data("008");
    QTest::newRow("6: an error stops the motor")
        << QStringList{"error temperature on"} << running << 100 << 1 << data("002");
}

void PumpModelTest::status()
{
    QFETCH(QStringList, controls);
    QFETCH(QStringList, bodies);
    QFETCH(int, atMs);
    QFETCH(int, group);
    QFETCH(QByteArray, answer);

    PumpModel pump;
    for (const QString &body : bodies)
        pump.handle(frame(body), 0);
    for (const QString &line : controls)
        QVERIFY(pump.control(line.toStdString(), 0).ok);
    QCOMPARE(bytes(pump.handle(frame(QString("?SS%1").arg(group)), atMs).bytes), answer);
}

// ---- Faults that change answers ----

void PumpModelTest::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("noiseFirst");

    QByteArray wrongCheck = data("0011001023");
    wrongCheck[wrongCheck.size() - 1] = static_cast<char>(wrongCheck.back() ^ 0x55);
    QTest::newRow("silent: no answer") << "silent on"
                                       << "?SV" << silence << false;
    QTest::newRow("badlrc: wrong check character") << "badlrc on"
                                                   << "?SV" << wrongCheck << false;
    QTest::newRow("badlrc leaves ACK alone") << "badlrc on"
                                             << "LC050" << ack << false;
    QTest::newRow("nullrc: NUL check character") << "nullrc on"
                                                 << "?SV"
                                                 << QByteArray("\x02"
                                                               "00000001\x03\x00",
                                                               11)
                                                 << false;
    QTest::newRow("nullrc leaves NAK alone") << "nullrc on"
                                             << "?XX" << nak << false;
    QTest::newRow("noise before a data frame") << "noise 1"
                                               << "?SI" << data("01") << true;
    QTest::newRow("noise before ACK") << "noise 1"
                                      << "LC050" << ack << true;
    QTest::newRow("drop: answer lost") << "drop 1"
                                       << "?SV" << silence << false;
    QTest::newRow("error refuses start") << "error encoder on"
                                         << "KY1" << nak << false;
    QTest::newRow("error refuses prime") << "error signal on"
                                         << "KY2" << nak << false;
    QTest::newRow("trickle does not change bytes") << "trickle 50"
                                                   << "?SI" << data("01") << false;
}

void PumpModelTest::faults()
{
    QFETCH(QString, fault);
    QFETCH(QString, body);
    QFETCH(QByteArray, answer);
    QFETCH(bool, noiseFirst);

    PumpModel pump;
    QVERIFY(pump.control(fault.toStdString(), 0).ok);
    QByteArray got = bytes(pump.handle(frame(body), 0).bytes);
    if (noiseFirst) {
        QVERIFY(got.size() == answer.size() + 1);
        const auto noise = static_cast<unsigned char>(got[0]);
        QVERIFY2(noise >= 0x80, "noise must not look like STX, ETX, ACK or NAK");
        got.remove(0, 1);
    }
    QCOMPARE(got, answer);
    QVERIFY(pump.control("clear", 0).ok);
    QCOMPARE(bytes(pump.handle(frame("?SI"), 0).bytes), data("01"));
}

void PumpModelTest::silentPumpObeysNothing()
{
    PumpModel pump;
    pump.control("silent on", 0);
    QCOMPARE(bytes(pump.handle(frame("LC077"), 0).bytes), silence);
    pump.control("silent off", 0);
    QCOMPARE(bytes(pump.handle(frame("?LC"), 0).bytes), data("040"));
    pump.control("drop 1", 0);
    QCOMPARE(bytes(pump.handle(frame("LC088"), 0).bytes), silence);
    pump.control("drop 0", 0);
    QCOMPARE(bytes(pump.handle(frame("?LC"), 0).bytes), data("088")); // dropped, yet obeyed
}

void PumpModelTest::dropShareFollowsSeed()
{
    PumpConfig config;
    config.seed = 7;
    PumpModel pump(config);
    pump.control("drop 0.2", 0);
    int lost = 0;
    for (int i = 0; i < 2000; ++i)
        lost += pump.handle(frame("?SI"), i).bytes.empty() ? 1 : 0;
    QVERIFY2(lost > 300 && lost < 500, qPrintable(QString::number(lost)));
}

void PumpModelTest::controlGrammar_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("hangup");
    QTest::addColumn<QString>("shown");

    QTest::newRow("noise share") << "noise 0.1" << true << -1 << "noise 0.1\n";
    QTest::newRow("noise above 1") << "noise 2" << false << -1 << "no faults\n";
    QTest::newRow("noise without share") << "noise" << false << -1 << "no faults\n";
    QTest::newRow("drop share") << "drop 0.25" << true << -1 << "drop 0.25\n";
    QTest::newRow("trickle ms") << "trickle 50" << true << -1 << "trickle 50\n";
    QTest::newRow("trickle negative") << "trickle -1" << false << -1 << "no faults\n";
    QTest::newRow("silent on") << "  silent   on " << true << -1 << "silent on\n";
    QTest::newRow("silent maybe") << "silent maybe" << false << -1 << "no faults\n";
    QTest::newRow("error by name") << "error overpressure on" << true << -1 << "status 6 0 on\n";
    QTest::newRow("error unknown name") << "error flood on" << false << -1 << "no faults\n";
    QTest::newRow("status forced off") << "status 4 3 off" << true << -1 << "status 4 3 off\n";
    QTest::newRow("status group 7") << "status 7 0 on" << false << -1 << "no faults\n";
    QTest::newRow("status bit 8") << "status 1 8 on" << false << -1 << "no faults\n";
    QTest::newRow("hangup seconds") << "hangup 3" << true << 3 << "no faults\n";
    QTest::newRow("hangup without seconds") << "hangup" << false << -1 << "no faults\n";
    QTest::newRow("comment") << "# noise 1" << true << -1 << "no faults\n";
    QTest::newRow("unknown word") << "explode" << false << -1 << "no faults\n";
}

void PumpModelTest::controlGrammar()
{
    QFETCH(QString, line);
    QFETCH(bool, ok);
    QFETCH(int, hangup);
    QFETCH(QString, shown);

    Faults faults;
    const ControlResult result = applyControlCommand(line.toStdString(), faults);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.hangupSeconds, hangup);
    QCOMPARE(QString::fromStdString(describeFaults(faults)), shown);
    QVERIFY(applyControlCommand("clear", faults).ok);
    QCOMPARE(QString::fromStdString(describeFaults(faults)), QString("no faults\n"));
}

// ---- Bad input: whatever arrives gets NAK, silence, or the answer of a well-formed query ----

void PumpModelTest::randomFramesGetNakOrSilence()
{
    PumpModel pump;
    std::mt19937 random(12345);
    const std::string valid = frame("DV00012500");
    for (int i = 0; i < 20000; ++i) {
        std::string in = valid;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) // mutate a byte after the address
            in[3 + random() % (in.size() - 3)] = static_cast<char>(random() % 256);
        if (random() % 4 == 0)
            in = std::string(random() % 20, '\0');
        for (char &c : in)
            if (random() % 50 == 0)
                c = static_cast<char>(random() % 256);
        const std::string out = pump.handle(in, i).bytes;
        const bool ackOrNak = out.size() == 1 && (out[0] == ACK || out[0] == NAK);
        const bool dataFrameOut = out.size() >= 3 && out[0] == STX && lrc(out) == 0;
        QVERIFY2(out.empty() || ackOrNak || dataFrameOut, qPrintable(bytes(in).toHex()));
        if (!out.empty() && !ackOrNak) // only a frame with a correct check gets data back
            QCOMPARE(lrc(in), std::uint8_t(0));
    }
}

QTEST_GUILESS_MAIN(PumpModelTest)
#include "PumpModelTest.moc"
