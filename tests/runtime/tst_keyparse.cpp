// What the command-line tool and the network may set, and as which frame value: every settable
// key at its limits, just beyond them, by list text and index, and with junk. The expected
// values are the pump's units written out (thousandths of a ml, hhmmss00, hundredths of a
// percent, the pump's list codes), not computed by the table under test.

#include "pump/KeyTable.h"
#include "pump/ModelLimits.h"
#include "remote/BridgeOptions.h"
#include "remote/RemoteRequest.h"
#include "remote/TopicNames.h"

#include <QtTest>

using Id = BusinessLogic::CommandSpezifier;

class tst_KeyParse : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void remote_data();
    void remote();
    void modelLimits_data();
    void modelLimits();
};

void tst_KeyParse::parse_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<Id>("command");
    QTest::addColumn<int>("value");

    const auto ok = [](const char *key, const char *text, Id command, int value) {
        QTest::addRow("%s %s", key, text) << key << text << true << command << value;
    };
    const auto no = [](const char *key, const char *text) {
        QTest::addRow("%s \"%s\" refused", key, text) << key << text << false << Id::Base << 0;
    };
    ok("flow-rate", "1", Id::SetFlowRate, 1000);
    ok("flow-rate", "100", Id::SetFlowRate, 100000);
    ok("flow-rate", "12.5", Id::SetFlowRate, 12500);
    ok("flow-rate", " 41.07 ", Id::SetFlowRate, 41070);
    no("flow-rate", "0.999");
    no("flow-rate", "100.001");
    no("flow-rate", "150");
    no("flow-rate", "12,5");
    no("flow-rate", "abc");
    no("flow-rate", "");
    no("flow-rate", "nan");
    no("flow-rate", "inf");
    ok("volume", "0.1", Id::SetVolume, 100);
    ok("volume", "999.9", Id::SetVolume, 999900);
    no("volume", "0.05");
    no("volume", "1000");
    ok("dispense-time", "0", Id::SetDispenseTime, 0);
    ok("dispense-time", "90s", Id::SetDispenseTime, 13000);
    ok("dispense-time", "5m", Id::SetDispenseTime, 50000);
    ok("dispense-time", "01:39:59", Id::SetDispenseTime, 1395900);
    no("dispense-time", "01:40:00");
    no("dispense-time", "soon");
    ok("break-time", "90s", Id::SetDispenseVolumeBreakTime, 90);
    ok("break-time", "1h39m59s", Id::SetDispenseVolumeBreakTime, 5999);
    no("break-time", "1h40m");
    ok("cycles", "3", Id::SetDispenseVolumeNumber, 3);
    ok("cycles", "off", Id::SetDispenseVolumeNumber, 0);
    ok("cycles", "INF", Id::SetDispenseVolumeNumber, 1000);
    no("cycles", "1001");
    no("cycles", "-1");
    no("cycles", "three");
    ok("mode", "flow", Id::SetRunMode, 0);
    ok("mode", "Volume", Id::SetDispenseModeVolume, 0);
    ok("mode", "1", Id::SetDispenseModeVolume, 0);
    no("mode", "flow-dispense");
    no("mode", "3");
    ok("language", "German", Id::SetLanguage, 1);
    ok("language", "german", Id::SetLanguage, 1);
    ok("language", "6", Id::SetLanguage, 6);
    no("language", "7");
    no("language", "Klingon");
    ok("calibration-percent", "80", Id::SetCustCalPercent, 8000);
    ok("calibration-percent", "100.1%", Id::SetCustCalPercent, 10010);
    ok("calibration-percent", "120", Id::SetCustCalPercent, 12000);
    no("calibration-percent", "100.05");
    no("calibration-percent", "79.9");
    ok("calibration-volume", "1.001", Id::SetCustCalVol, 1001);
    no("calibration-volume", "0.5");
    ok("contrast", "0", Id::SetDisplayContrast, 0);
    ok("contrast", "40 %", Id::SetDisplayContrast, 40);
    no("contrast", "101");
    ok("autostart", "on", Id::SetAutostart, 1);
    ok("autostart", "YES", Id::SetAutostart, 1);
    ok("autostart", "0", Id::SetAutostart, 0);
    no("autostart", "maybe");
    ok("protocol-answer", "off", Id::SetProtocolAnswer, 0);
    ok("fluid", "VISCOSITY 500cSt", Id::SetPumpProfileCharacteristic, 3);
    ok("digital-in1", "Edge Start/Stop", Id::SetDigitalIn1, 6);
    ok("digital-in1", "1", Id::SetDigitalIn1, 1);
    no("digital-in1", "Reset");
    ok("digital-in2", "Reset & Prime", Id::SetDigitalIn2, 10);
    ok("digital-in2", "3", Id::SetDigitalIn2, 8);
    ok("digital-out", "Pulse per 100ul", Id::SetDigitalOut, 4);
    no("digital-out", "5");
    ok("analog-in", "OFF", Id::SetAnalogInput, 9);
    ok("analog-in", "0 .. 10 V", Id::SetAnalogInput, 0);
    ok("analog-in", "4 .. 20 mA", Id::SetAnalogInput, 2);
    ok("address", "0", Id::SetPumpAddress, 0);
    ok("address", "98", Id::SetPumpAddress, 98);
    no("address", "99");
    no("model", "FLUXO 10");
    no("volume-delivered", "1");
    no("errors", "none");
}

void tst_KeyParse::parse()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(bool, taken);
    QFETCH(Id, command);
    QFETCH(int, value);
    const Pump::KeyTable::Key *k = Pump::KeyTable::find(key);
    QVERIFY2(k != nullptr, qPrintable(key));
    const Pump::KeyTable::Setting s = Pump::KeyTable::parse(*k, text);
    QCOMPARE(s.ok(), taken);
    if (!taken) {
        QVERIFY(!s.error.isEmpty());
        return;
    }
    QCOMPARE(s.command, command);
    QCOMPARE(s.value, value);
}

void tst_KeyParse::remote_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("allow");
    QTest::addColumn<int>("kind"); // RemoteRequest::Kind
    QTest::addColumn<Id>("command");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("error"); // part of it; empty: may go to the pump

    using K = RemoteRequest::Kind;
    const auto row = [](const char *name, const char *topic, const QByteArray &payload, bool allow,
                        K kind, Id command, int value, const char *error) {
        QTest::newRow(name) << topic << payload << allow << int(kind) << command << value << error;
    };
    row("a set", "lab/p1/set/flow-rate", "12.5", true, K::Set, Id::SetFlowRate, 12500, "");
    row("a set as a JSON string", "lab/p1/set/mode", "\"volume\"", true, K::Set,
        Id::SetDispenseModeVolume, 0, "");
    row("blanks around the value", "lab/p1/set/contrast", " 41 \n", true, K::Set,
        Id::SetDisplayContrast, 41, "");
    row("beyond the limit", "lab/p1/set/flow-rate", "150", true, K::Set, Id::Base, 0, "outside");
    row("junk", "lab/p1/set/volume", "\xff\xfe", true, K::Set, Id::Base, 0, "volume");
    row("an unknown key", "lab/p1/set/speed", "3", true, K::Set, Id::Base, 0, "unknown key");
    row("a key that cannot be set", "lab/p1/set/model", "x", true, K::Set, Id::Base, 0,
        "cannot be set");
    row("start", "lab/p1/cmd", "start", true, K::Command, Id::Start, 0, "");
    row("STOP in capitals", "lab/p1/cmd", "STOP", true, K::Command, Id::Stop, 0, "");
    row("an unknown command", "lab/p1/cmd", "jump", true, K::Command, Id::Base, 0,
        "unknown command");
    // Without permission the value is not even converted.
    row("a set without control", "lab/p1/set/flow-rate", "12.5", false, K::Set, Id::Base, 0,
        "control not allowed");
    row("stop without control", "lab/p1/cmd", "stop", false, K::Command, Id::Base, 0,
        "control not allowed");
    row("another pump's topic", "lab/p2/set/flow-rate", "12.5", true, K::Ignored, Id::Base, 0, "");
    row("the pump's own state", "lab/p1/state", "{}", true, K::Ignored, Id::Base, 0, "");
}

void tst_KeyParse::remote()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(bool, allow);
    QFETCH(int, kind);
    QFETCH(Id, command);
    QFETCH(int, value);
    QFETCH(QString, error);
    const TopicNames topics(QStringLiteral("lab"), QStringLiteral("p1"));
    BridgeOptions options;
    options.allowControl = allow;
    options.allowConfig = allow;
    MqttClient::Message message;
    message.topic = topic;
    message.payload = payload;
    const RemoteRequest r = RemoteRequest::read(topics, message, options);
    QCOMPARE(int(r.kind), kind);
    if (error.isEmpty()) {
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    } else {
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
    }
    if (command != Id::Base) {
        QCOMPARE(r.command, command);
        QCOMPARE(r.commandValue, value);
    }
}

QTEST_APPLESS_MAIN(tst_KeyParse)
#include "tst_keyparse.moc"

// The connected pump type narrows a key's limits for every front-end alike: the tool's and the
// bridge's parse, and the check the window and SiLA make of a typed number.
void tst_KeyParse::modelLimits_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error"); // part of it; empty: taken

    const auto row = [](const char *type, const char *key, const char *text, const char *error) {
        QTest::addRow("%s %s %s", type, key, text) << type << key << text << error;
    };
    row("FLUXO 02", "flow-rate", "20", "");
    row("FLUXO 02", "flow-rate", "20.001", "20.0 ml/min on a FLUXO 02");
    row("FLUXO 02", "flow-rate", "50", "20.0 ml/min on a FLUXO 02");
    row("FLUXO 02", "volume", "999.9", "");
    row("FLUXO 10", "flow-rate", "100", "");
    row("FLUXO 10", "flow-rate", "100.5", "1.0 - 100.0 ml/min");
    // Not known yet: the widest limits, as before the pump said what it is.
    row("", "flow-rate", "100", "");
}

void tst_KeyParse::modelLimits()
{
    QFETCH(QString, type);
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(QString, error);
    const Pump::KeyTable::Key limited = Pump::ModelLimits::of(Pump::KeyTable::key(key), type);
    const Pump::KeyTable::Setting s = Pump::KeyTable::parse(limited, text);
    QVERIFY2(s.error.contains(error), qPrintable(s.error));
    QCOMPARE(s.ok(), error.isEmpty());
    // The window's and SiLA's check of the number agrees with the parse.
    QCOMPARE(Pump::KeyTable::outside(limited, text.toDouble()).isEmpty(), error.isEmpty());

    const TopicNames topics(QStringLiteral("lab"), QStringLiteral("p1"));
    BridgeOptions options;
    options.allowControl = true;
    MqttClient::Message message;
    message.topic = QStringLiteral("lab/p1/set/") + key;
    message.payload = text.toUtf8();
    const RemoteRequest r = RemoteRequest::read(topics, message, options, type);
    QCOMPARE(r.error.isEmpty(), error.isEmpty());
}
