// The bridge's pure rules: which options can be used, where they lead, how a configuration file
// reads, and when a state goes out.

#include "remote/BridgeOptions.h"
#include "remote/StateThrottle.h"

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
                      "id=p7\nusername = u\npassword = p w\nallow-control = yes\n")
        << "";
    QTest::newRow("unknown key") << QByteArray("broker = mqtt://b\nbrokr = x\n")
                                 << ":2: unknown key";
    QTest::newRow("not a pair") << QByteArray("broker\n") << ":1: not a";
    QTest::newRow("bad switch") << QByteArray("allow-control = maybe\n") << "yes or no";
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

QTEST_GUILESS_MAIN(BridgeRulesTest)
#include "tst_bridgerules.moc"
