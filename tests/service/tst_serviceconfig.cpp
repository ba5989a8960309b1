// The service's configuration file: what it refuses, with the line that says so, and how the
// shared settings, a pump's own and the command line's add up.
#include "service/PumpService.h"
#include "service/ServiceConfig.h"

#include <QtTest>

using Setting = ServiceConfig::Setting;
Q_DECLARE_METATYPE(QVector<Setting>)

class TestServiceConfig : public QObject
{
    Q_OBJECT

private:
    // The service's own side too, on a host called "host".
    static bool plans(const QByteArray &text, const QVector<Setting> &commandLine,
                      QVector<PumpPlan> *into, QString *error, ServicePlan *side = nullptr)
    {
        ServiceConfig config;
        ServicePlan own;
        return ServiceConfig::parse(text, QStringLiteral("dosetta.conf"), &config, error) &&
               config.plans(QString(), commandLine, into, error) &&
               config.service(QString(), commandLine, QStringLiteral("host"), *into,
                              side != nullptr ? side : &own, error);
    }

private slots:
    void refused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("why");
        const QByteArray head = "broker = mqtt://localhost\n";
        const QByteArray a = "[pump a]\nport = /dev/ttyS0\n";

        // Sections.
        QTest::newRow("another kind of section") << head + "[pumps a]\n"
                                                 << "dosetta.conf:2: "
                                                 << "is no section of ours";
        QTest::newRow("a name with a slash") << head + "[pump a/b]\n"
                                             << "dosetta.conf:2: "
                                             << "\"a/b\" cannot name a pump";
        QTest::newRow("a name of two words") << head + "[pump a b]\n"
                                             << "dosetta.conf:2: "
                                             << "is no section of ours";
        QTest::newRow("an unclosed bracket") << head + "[pump a\n"
                                             << "dosetta.conf:2: "
                                             << "is no section of ours";
        QTest::newRow("the same pump twice") << head + a + "# again\n[pump a]\n"
                                             << "dosetta.conf:5: "
                                             << "pump a has its section at line 2 already";
        QByteArray many = head;
        for (int i = 0; i <= ServiceConfig::MaxPumps; ++i)
            many += "[pump p" + QByteArray::number(i) + "]\n";
        QTest::newRow("one pump too many") << many << "dosetta.conf:66: "
                                           << "more than 64 pumps";

        // Lines and keys.
        QTest::newRow("no equals sign") << QByteArray("broker mqtt://x\n") << "dosetta.conf:1: "
                                        << "not a \"key = value\" line";
        QTest::newRow("no key") << head + "= 1\n"
                                << "dosetta.conf:2: "
                                << "not a \"key = value\" line";
        QTest::newRow("unknown key in a section") << head + a + "colour = red\n"
                                                  << "dosetta.conf:4: "
                                                  << "unknown key \"colour\"";
        QTest::newRow("listen is sila's own name") << head + a + "sila-listen = 127.0.0.1:1\n"
                                                   << "dosetta.conf:4: "
                                                   << "unknown key \"sila-listen\"";
        QTest::newRow("a flag neither yes nor no")
            << head + a + "allow-control = maybe\n"
            << "dosetta.conf:4: "
            << "allow-control takes yes or no, not \"maybe\"";
        QTest::newRow("a SiLA flag neither yes nor no")
            << head + a + "sila = 127.0.0.1:0\nsila-discovery = later\n"
            << "dosetta.conf:5: "
            << "discovery takes yes or no";
        QTest::newRow("address above the range") << head + a + "address = 99\n"
                                                 << "dosetta.conf:4: "
                                                 << "address takes 0-98";
        QTest::newRow("a port above the sections")
            << head + "port = /dev/ttyS0\n" + a << "dosetta.conf:2: "
            << "port belongs in a pump's section";
        QTest::newRow("IPv6 without brackets") << head + a + "sila = ::1:50052\n"
                                               << "dosetta.conf:4: "
                                               << "is not HOST:PORT";

        // A pump as a whole: its section's line.
        QTest::newRow("a pump without a port") << head + a + "[pump b]\naddress = 2\n"
                                               << "dosetta.conf:4: "
                                               << "pump b: no port given";
        QTest::newRow("neither broker nor SiLA") << QByteArray(a) << "dosetta.conf:1: "
                                                 << "pump a: no broker given";
        QTest::newRow("a SiLA setting without a server")
            << QByteArray(a) + "broker = mqtt://x\nsila-insecure = yes\n"
            << "dosetta.conf:1: "
            << "sila-insecure is for a SiLA server";
        QTest::newRow("a broker that is none")
            << QByteArray("broker = http://x\n") + a << "dosetta.conf:2: "
            << "is not a broker address";
        QTest::newRow("two pumps on one port") << head + a + "[pump b]\nport = ttyS0\n"
                                               << "dosetta.conf:4: "
                                               << "pump b: its port ttyS0 is pump a's too";
        QTest::newRow("two pumps with one id")
            << head + a + "id = x\n[pump b]\nport = /dev/ttyS1\nid = x\n"
            << "dosetta.conf:5: "
            << "its topics dosetta/x are pump a's too";
        QTest::newRow("two SiLA servers on one port")
            << QByteArray("sila = 127.0.0.1:50100\n") + a + "[pump b]\nport = /dev/ttyS1\n"
            << "dosetta.conf:4: "
            << "its SiLA port 50100 is pump a's too";

        // The service's own name.
        QTest::newRow("the service named in a section") << head + a + "service = x\n"
                                                        << "dosetta.conf:4: "
                                                        << "service belongs above the first";
        QTest::newRow("a service name with a slash")
            << "service = a/b\n" + head + a << "dosetta.conf:1: "
            << "\"a/b\" cannot name the service";
        QTest::newRow("the service named like a pump")
            << "service = a\n" + head + a << "dosetta.conf:1: "
            << "the service's topics dosetta/a are pump a's too";
        QTest::newRow("the host's name is a pump's")
            << head + "[pump host]\nport = /dev/ttyS0\n"
            << "dosetta.conf: "
            << "the service's topics dosetta/host are pump host's too";
    }
    void refused()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, where);
        QFETCH(QString, why);
        QVector<PumpPlan> list;
        QString error;
        QVERIFY(!plans(text, {}, &list, &error));
        QVERIFY2(error.startsWith(where) && error.contains(why), qPrintable(error));
    }

    void commandLineErrorsNameTheOption()
    {
        QVector<PumpPlan> list;
        QString error;
        QVERIFY(!plans("broker = mqtt://x\n", {{"allow-control", "maybe", 0}}, &list, &error));
        QCOMPARE(error, QStringLiteral("--allow-control: allow-control takes yes or no, not "
                                       "\"maybe\""));
    }

    void sharedThenOwnThenCommandLine()
    {
        const QByteArray text = "# every pump\n"
                                "broker = mqtt://lab:1883\n"
                                "allow-control = yes\n"
                                "sila-insecure = yes\n"
                                "[pump a]\n"
                                "port = /dev/ttyS0\n"
                                "[pump b]\n"
                                "port = /dev/ttyS1\n"
                                "address = 4\n"
                                "id = bee\n"
                                "allow-control = no\n"
                                "sila = 127.0.0.1:50111\n";
        QVector<PumpPlan> list;
        QString error;
        QVERIFY2(plans(text, {}, &list, &error), qPrintable(error));
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].name, QStringLiteral("a"));
        QCOMPARE(list[0].pumpId(QStringLiteral("host")), QStringLiteral("a"));
        QVERIFY(list[0].bridge.allowControl);
        QVERIFY(!list[0].silaOn);
        QCOMPARE(list[1].pumpId(QStringLiteral("host")), QStringLiteral("bee"));
        QCOMPARE(list[1].address, 4);
        QVERIFY(!list[1].bridge.allowControl);
        QVERIFY(list[1].silaOn && list[1].sila.insecure);
        QCOMPARE(list[1].sila.listenPort, quint16(50111));
        // The command line wins over both.
        QVERIFY(plans(text, {{"allow-control", "no", 0}}, &list, &error));
        QVERIFY(!list[0].bridge.allowControl);
        // A pump whose lines did not change is the same pump on a reload; one that did is not.
        QVector<PumpPlan> again;
        QVERIFY(plans(text + "# a comment more\n", {{"allow-control", "no", 0}}, &again, &error));
        QVERIFY(PumpService::same(list[0], again[0]));
        QVERIFY(plans(QByteArray(text).replace("address = 4", "address = 5"),
                      {{"allow-control", "no", 0}}, &again, &error));
        QVERIFY(PumpService::same(list[0], again[0]));
        QVERIFY(!PumpService::same(list[1], again[1]));
    }

    void serviceSideFromWhatIsShared_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QVector<Setting>>("commandLine");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("broker"); // empty: no service side on the broker
        QTest::addColumn<QString>("topics");
        const QByteArray a = "[pump a]\nport = /dev/ttyS0\n";
        QTest::newRow("named after the host")
            << "broker = mqtt://lab\n" + a << QVector<Setting>() << "host"
            << "mqtt://lab"
            << "dosetta/host";
        QTest::newRow("its own name and prefix")
            << "service = bench\ntopic-prefix = lab\nbroker = mqtt://lab\n" + a
            << QVector<Setting>() << "bench"
            << "mqtt://lab"
            << "lab/bench";
        QTest::newRow("a pump's own broker is not the service's")
            << a + "broker = mqtt://lab\n"
            << QVector<Setting>() << "host" << QString() << "dosetta/host";
        QTest::newRow("the command line's broker wins")
            << "broker = mqtt://lab\n" + a << QVector<Setting>{{"broker", "mqtt://other", 0}}
            << "host"
            << "mqtt://other"
            << "dosetta/host";
    }
    void serviceSideFromWhatIsShared()
    {
        QFETCH(QByteArray, text);
        QFETCH(QVector<Setting>, commandLine);
        QVector<PumpPlan> list;
        ServicePlan side;
        QString error;
        QVERIFY2(plans(text, commandLine, &list, &error, &side), qPrintable(error));
        QTEST(side.name, "name");
        QTEST(side.bridge.broker, "broker");
        QTEST(side.bridge.topicPrefix + QLatin1Char('/') + side.name, "topics");
        // The pumps do not take the service's name for a setting of theirs.
        QVERIFY(!list.first().settings.join(' ').contains(QLatin1String("service")));
    }
};

QTEST_GUILESS_MAIN(TestServiceConfig)
#include "tst_serviceconfig.moc"
