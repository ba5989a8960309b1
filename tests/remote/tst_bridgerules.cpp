// The bridge's pure rules: which options can be used, where they lead, how a configuration file
// reads, when a state goes out, and which requests are refused before they reach the queue.

#include "remote/BridgeOptions.h"
#include "remote/RemoteRequest.h"
#include "remote/StateThrottle.h"
#include "remote/TopicNames.h"

#include <QTemporaryDir>
#include <QtTest>

class BridgeRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void problems_data();
    void problems();
    void serverUri_data();
    void serverUri();
    void config_data();
    void config();
    void defaultId();
    void throttle();
    void requests_data();
    void requests();
    void helpPageNamesEachPermission();
};

void BridgeRulesTest::problems_data()
{
    QTest::addColumn<QString>("broker");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("withCert");
    QTest::addColumn<bool>("usable");
    QTest::newRow("plain") << "mqtt://localhost:1883"
                           << ""
                           << ""
                           << "" << false << true;
    QTest::newRow("tls with a certificate") << "mqtts://b.lab"
                                            << "p1"
                                            << "u"
                                            << "pw" << true << true;
    QTest::newRow("no broker") << ""
                               << ""
                               << ""
                               << "" << false << false;
    QTest::newRow("web address") << "http://b.lab"
                                 << ""
                                 << ""
                                 << "" << false << false;
    QTest::newRow("no host") << "mqtt://"
                             << ""
                             << ""
                             << "" << false << false;
    QTest::newRow("a path") << "mqtt://b.lab/x"
                            << ""
                            << ""
                            << "" << false << false;
    QTest::newRow("id with a slash") << "mqtt://b.lab"
                                     << "a/b"
                                     << ""
                                     << "" << false << false;
    QTest::newRow("id with a wildcard") << "mqtt://b.lab"
                                        << "a+"
                                        << ""
                                        << "" << false << false;
    QTest::newRow("password without user") << "mqtt://b.lab"
                                           << ""
                                           << ""
                                           << "pw" << false << false;
    QTest::newRow("certificate without TLS") << "mqtt://b.lab"
                                             << ""
                                             << ""
                                             << "" << true << false;
}

void BridgeRulesTest::problems()
{
    QFETCH(QString, broker);
    QFETCH(QString, id);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, withCert);
    QFETCH(bool, usable);
    QTemporaryDir dir;
    BridgeOptions o;
    o.broker = broker;
    o.pumpId = id;
    o.username = user;
    o.password = password;
    if (withCert) {
        for (QString *file : {&o.certFile, &o.keyFile}) {
            *file = dir.filePath(file == &o.certFile ? "c.pem" : "k.pem");
            QFile f(*file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
    QCOMPARE(o.problem().isEmpty(), usable);
}

void BridgeRulesTest::serverUri_data()
{
    QTest::addColumn<QString>("broker");
    QTest::addColumn<QString>("uri");
    QTest::newRow("mqtt, default port") << "mqtt://b.lab"
                                        << "tcp://b.lab:1883";
    QTest::newRow("mqtts, default port") << "mqtts://b.lab"
                                         << "ssl://b.lab:8883";
    QTest::newRow("own port") << "mqtt://127.0.0.1:1999"
                              << "tcp://127.0.0.1:1999";
    QTest::newRow("ssl scheme") << "ssl://b.lab:9000"
                                << "ssl://b.lab:9000";
}

void BridgeRulesTest::serverUri()
{
    QFETCH(QString, broker);
    QFETCH(QString, uri);
    BridgeOptions o;
    o.broker = broker;
    QCOMPARE(o.serverUri(), uri);
}

void BridgeRulesTest::config_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error"); // a fragment; empty: read
    QTest::newRow("all kinds of lines")
        << QByteArray("# lab 3\n\nport = /dev/ttyUSB0\naddress = 7\nbroker = mqtt://b:1\n"
                      "id=p7\nusername = u\npassword = p w\nallow-control = yes\n"
                      "allow-config = no\n")
        << "";
    QTest::newRow("unknown key") << QByteArray("broker = mqtt://b\nbrokr = x\n")
                                 << ":2: unknown key";
    QTest::newRow("not a pair") << QByteArray("broker\n") << ":1: not a";
    QTest::newRow("bad switch") << QByteArray("allow-control = maybe\n") << "yes or no";
    QTest::newRow("bad config switch") << QByteArray("allow-config = always\n") << "yes or no";
    QTest::newRow("address out of range") << QByteArray("address = 99\n") << "0-98";
}

void BridgeRulesTest::config()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QFile file(dir.filePath("b.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    BridgeOptions o;
    QString why;
    QCOMPARE(o.readConfig(file.fileName(), &why), error.isEmpty());
    QVERIFY2(why.contains(error), qPrintable(why));
    if (error.isEmpty()) {
        QCOMPARE(o.port, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(o.address, 7);
        QCOMPARE(o.pumpId, QStringLiteral("p7"));
        QCOMPARE(o.password, QStringLiteral("p w"));
        QVERIFY(o.allowControl);
        QVERIFY(!o.allowConfig);
        QVERIFY(!o.haDiscovery);
    }
}

void BridgeRulesTest::defaultId()
{
    QCOMPARE(BridgeOptions::defaultPumpId("lab 3", "/dev/serial/by-id/usb-FT#1", 4),
             QStringLiteral("lab_3-usb-FT_1-4"));
}

void BridgeRulesTest::throttle()
{
    StateThrottle t;
    const QJsonObject a{{"time_utc", "t1"}, {"elapsed_s", 1.0}, {"volume_delivered_ml", 1.0}};
    QJsonObject later = a;
    later["time_utc"] = "t2";
    later["elapsed_s"] = 1.7;
    QJsonObject changed = later;
    changed["volume_delivered_ml"] = 1.5;
    QVERIFY(t.take(a, 0));
    QVERIFY(!t.take(later, 700));   // only the time moved
    QVERIFY(t.take(changed, 1400)); // a value changed
    QVERIFY(!t.take(changed, 1400 + StateThrottle::HeartbeatMs - 1));
    QVERIFY(t.take(changed, 1400 + StateThrottle::HeartbeatMs)); // still alive
    t.reset();
    QVERIFY(t.take(changed, 1400 + StateThrottle::HeartbeatMs + 1)); // after a reconnection
}

void BridgeRulesTest::requests_data()
{
    QTest::addColumn<QString>("topic"); // under dosetta/p1/
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("correlation");
    QTest::addColumn<bool>("retained");
    QTest::addColumn<QString>("allowed"); // control, config, both or none
    QTest::addColumn<QString>("error");   // a fragment; empty: it may go to the pump
    const QByteArray none;
    const auto permission = [&](const char *row, const char *topic, const char *value,
                                const char *needs) {
        const bool control = qstrcmp(needs, "control") == 0;
        QTest::addRow("%s, with %s", row, needs)
            << topic << QByteArray(value) << none << false << needs << "";
        QTest::addRow("%s, with the other permission", row)
            << topic << QByteArray(value) << none << false << (control ? "config" : "control")
            << (control ? "control not allowed" : "configuration not allowed");
    };
    // Running and the dosing values are control.
    permission("start", "cmd", "start", "control");
    permission("stop", "cmd", "stop", "control");
    permission("pause", "cmd", "pause", "control");
    permission("prime", "cmd", "Prime", "control");
    permission("flow rate", "set/flow-rate", "10", "control");
    permission("volume", "set/volume", "5", "control");
    permission("dispense time", "set/dispense-time", "60", "control");
    permission("mode", "set/mode", "volume", "control");
    permission("cycles", "set/cycles", "2", "control");
    permission("break time", "set/break-time", "5", "control");
    // Everything else that can be set reconfigures the instrument.
    permission("address", "set/address", "7", "config");
    permission("protocol answer", "set/protocol-answer", "off", "config");
    permission("autostart", "set/autostart", "on", "config");
    permission("digital input 1", "set/digital-in1", "Level Start/Stop", "config");
    permission("digital input 2", "set/digital-in2", "Reset", "config");
    permission("digital output", "set/digital-out", "Motor ON", "config");
    permission("analog input", "set/analog-in", "0 .. 10 V", "config");
    permission("calibration volume", "set/calibration-volume", "10", "config");
    permission("calibration percent", "set/calibration-percent", "100.5", "config");
    permission("fluid", "set/fluid", "DEGASSING", "config");
    permission("language", "set/language", "German", "config");
    permission("contrast", "set/contrast", "50", "config");
    QTest::newRow("read-only key, both allowed")
        << "set/firmware" << QByteArray("V9") << none << false << "both"
        << "cannot be set";
    QTest::newRow("unknown command, no permission")
        << "cmd" << QByteArray("jump") << none << false << "none"
        << "control not allowed";

    // A retained request would act again at every connection.
    QTest::newRow("retained start") << "cmd" << QByteArray("start") << none << true << "both"
                                    << "retained requests are ignored";
    QTest::newRow("retained flow rate")
        << "set/flow-rate" << QByteArray("12.5") << none << true << "both"
        << "retained requests are ignored";

    // Sizes: refused before anything else is looked at, and nothing long comes back.
    QTest::newRow("256 bytes, mostly blanks")
        << "set/flow-rate" << QByteArray("10").leftJustified(256) << none << false << "control"
        << "";
    QTest::newRow("257 bytes") << "set/flow-rate" << QByteArray("10").leftJustified(257) << none
                               << false << "control"
                               << "longer than 256 bytes";
    QTest::newRow("1 MiB, no permission")
        << "cmd" << QByteArray(1 << 20, 'x') << none << false << "none"
        << "longer than 256 bytes";
    QTest::newRow("1 MiB, retained") << "cmd" << QByteArray(1 << 20, 'x') << none << true << "both"
                                     << "longer than 256 bytes";
    QTest::newRow("long unknown command")
        << "cmd" << QByteArray(200, 'z') << none << false << "control"
        << "unknown command";
    QTest::newRow("long number") << "set/flow-rate" << QByteArray(120, '7') << none << false
                                 << "control"
                                 << "is outside 1.0 - 100.0";
    QTest::newRow("long text for a number")
        << "set/volume" << QByteArray(120, 'q') << none << false << "control"
        << "not a number";
    QTest::newRow("long entry") << "set/fluid" << QByteArray(100, 'W') << none << false << "config"
                                << "is not one of";
    QTest::newRow("long key") << "set/" + QString(300, QLatin1Char('k')) << QByteArray("1") << none
                              << false << "both"
                              << "unknown key";
    QTest::newRow("64 bytes of correlation")
        << "cmd" << QByteArray("stop") << QByteArray(64, 'c') << false << "control"
        << "";
    QTest::newRow("65 bytes of correlation")
        << "cmd" << QByteArray("stop") << QByteArray(65, 'c') << false << "control"
        << "correlation data longer";
    QTest::newRow("65 bytes of correlation, 1 MiB")
        << "cmd" << QByteArray(1 << 20, 's') << QByteArray(65, 'c') << false << "control"
        << "longer than 256 bytes";
}

void BridgeRulesTest::requests()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, correlation);
    QFETCH(bool, retained);
    QFETCH(QString, allowed);
    QFETCH(QString, error);
    const TopicNames names(QStringLiteral("dosetta"), QStringLiteral("p1"));
    BridgeOptions options;
    options.allowControl = allowed == QLatin1String("control") || allowed == QLatin1String("both");
    options.allowConfig = allowed == QLatin1String("config") || allowed == QLatin1String("both");
    MqttClient::Message m;
    m.topic = QStringLiteral("dosetta/p1/") + topic;
    m.payload = payload;
    m.correlation = correlation;
    m.retained = retained;
    const RemoteRequest r = RemoteRequest::read(names, m, options);
    QVERIFY(r.kind != RemoteRequest::Kind::Ignored);
    if (error.isEmpty()) {
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QVERIFY(r.command != BusinessLogic::CommandSpezifier::Base);
    } else {
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
    }
    // What comes back is short: 32 characters and an ellipsis at most.
    QVERIFY2(r.value.size() <= 33, qPrintable(r.value));
    QVERIFY2(r.key.size() <= 33, qPrintable(r.key));
    QVERIFY2(r.error.size() <= 160, qPrintable(r.error));
    const QString value = QString::fromUtf8(payload.left(300)).trimmed();
    if (value.size() > 8)
        QVERIFY2(!r.error.contains(value), qPrintable(r.error));
    QCOMPARE(r.correlation, correlation.size() <= 64 ? correlation : QByteArray());
}

// The help page's key table says, per key, what a remote set needs, as the key table does.
void BridgeRulesTest::helpPageNamesEachPermission()
{
    QFile page(QStringLiteral(DOSETTA_DOC_DIR "/network.html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    for (const Pump::KeyTable::Key &key : Pump::KeyTable::keys()) {
        const QRegularExpression row(
            QStringLiteral("<tr><td><code>%1</code></td>.*<td>(\\w*)</td></tr>")
                .arg(QRegularExpression::escape(key.name)));
        const QRegularExpressionMatch m = row.match(html);
        QVERIFY2(m.hasMatch(), qPrintable(key.name));
        QCOMPARE(m.captured(1), Pump::KeyTable::permissionName(key.permission));
    }
}

QTEST_GUILESS_MAIN(BridgeRulesTest)
#include "tst_bridgerules.moc"
