#include "sila/SilaOptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// The server's options as a service's file and the command line give them: what is taken, and
// what is refused before anything listens.
class TestSilaOptions : public QObject
{
    Q_OBJECT

private slots:
    void options_data()
    {
        QTest::addColumn<QString>("config");  // {dir} is the test's folder
        QTest::addColumn<QString>("listen");  // as --listen gives it; empty: not given
        QTest::addColumn<QString>("refusal"); // a part of the reason; empty: usable
        QTest::addColumn<QString>("address"); // HOST:PORT when usable

        QTest::newRow("nothing given: loopback") << ""
                                                 << ""
                                                 << ""
                                                 << "localhost:50052";
        QTest::newRow("a name and a port") << ""
                                           << "localhost:6000"
                                           << ""
                                           << "localhost:6000";
        QTest::newRow("any free port") << ""
                                       << "127.0.0.1:0"
                                       << ""
                                       << "127.0.0.1:0";
        QTest::newRow("IPv6 in brackets") << ""
                                          << "[::1]:50052"
                                          << ""
                                          << "[::1]:50052";
        QTest::newRow("IPv6 any") << ""
                                  << "[::]:7"
                                  << ""
                                  << "[::]:7";
        QTest::newRow("IPv6 without brackets") << ""
                                               << "::1:50052"
                                               << "HOST:PORT"
                                               << "";
        QTest::newRow("brackets around a name") << ""
                                                << "[pump]:50052"
                                                << "HOST:PORT"
                                                << "";
        QTest::newRow("no port") << ""
                                 << "localhost"
                                 << "HOST:PORT"
                                 << "";
        QTest::newRow("port too high") << ""
                                       << "localhost:65536"
                                       << "HOST:PORT"
                                       << "";
        QTest::newRow("port not a number") << ""
                                           << "localhost:grpc"
                                           << "HOST:PORT"
                                           << "";
        QTest::newRow("no host") << ""
                                 << ":50052"
                                 << "HOST:PORT"
                                 << "";
        QTest::newRow("listen from the file") << "listen = 127.0.0.1:50100"
                                              << ""
                                              << ""
                                              << "127.0.0.1:50100";
        QTest::newRow("command line over the file") << "listen = 127.0.0.1:50100"
                                                    << "127.0.0.1:50200"
                                                    << ""
                                                    << "127.0.0.1:50200";
        QTest::newRow("bad listen in the file") << "listen = 50100"
                                                << ""
                                                << ":1: \"50100\""
                                                << "";
        QTest::newRow("own certificate and key") << "cert = {dir}/cert.pem\nkey = {dir}/key.pem"
                                                 << ""
                                                 << ""
                                                 << "localhost:50052";
        QTest::newRow("certificate without key") << "cert = {dir}/cert.pem"
                                                 << ""
                                                 << "needs its key"
                                                 << "";
        QTest::newRow("key without certificate") << "key = {dir}/key.pem"
                                                 << ""
                                                 << "needs its key"
                                                 << "";
        QTest::newRow("insecure with a certificate")
            << "insecure = yes\ncert = {dir}/cert.pem\nkey = {dir}/key.pem"
            << ""
            << "plain text"
            << "";
        QTest::newRow("certificate not there") << "cert = {dir}/missing.pem\nkey = {dir}/key.pem"
                                               << ""
                                               << "cannot be read"
                                               << "";
        QTest::newRow("name too long") << "name = " + QString(256, QLatin1Char('x')) << ""
                                       << "255"
                                       << "";
        QTest::newRow("vendor page") << "vendor-url = https://lab3.example/fluxo?bay=2"
                                     << ""
                                     << ""
                                     << "localhost:50052";
        QTest::newRow("vendor page not a web address") << "vendor-url = ftp://lab3.example"
                                                       << ""
                                                       << "http://"
                                                       << "";
        QTest::newRow("vendor page with a blank") << "vendor-url = https://lab3 .example"
                                                  << ""
                                                  << "http://"
                                                  << "";
        QTest::newRow("vendor page too long")
            << "vendor-url = https://x.example/" + QString(2100, QLatin1Char('a')) << ""
            << "more than 2048"
            << "";
        QTest::newRow("comments and blank lines") << "# a pump\n\n  # more\nname = Bench 2"
                                                  << ""
                                                  << ""
                                                  << "localhost:50052";
        QTest::newRow("unknown key") << "\nbroker = mqtt://x"
                                     << ""
                                     << ":2: unknown key"
                                     << "";
        QTest::newRow("not key = value") << "insecure"
                                         << ""
                                         << ":1: not a"
                                         << "";
        QTest::newRow("yes or no") << "allow-config = maybe"
                                   << ""
                                   << "allow-config takes yes or no"
                                   << "";
        // Who may move the pump, and where.
        QTest::newRow("names with an authority")
            << "client-ca = {dir}/cert.pem\nallow-control = lab-a, lab-b"
            << ""
            << ""
            << "0.0.0.0:50052";
        QTest::newRow("names without an authority") << "allow-control = lab-a, lab-b"
                                                    << ""
                                                    << "needs a client authority"
                                                    << "";
        QTest::newRow("an empty name") << "client-ca = {dir}/cert.pem\nallow-control = lab-a,,b"
                                       << ""
                                       << "an empty name"
                                       << "";
        QTest::newRow("authority in plain text") << "insecure = yes\nclient-ca = {dir}/cert.pem"
                                                 << ""
                                                 << "needs TLS"
                                                 << "";
        QTest::newRow("control on every address") << "allow-control = yes"
                                                  << "0.0.0.0:50052"
                                                  << "--allow-anyone"
                                                  << "";
        QTest::newRow("control on every address, said so")
            << "allow-control = yes\nallow-anyone = yes"
            << "0.0.0.0:50052"
            << ""
            << "0.0.0.0:50052";
        QTest::newRow("control on a host's name") << "allow-control = yes"
                                                  << "pump.lab.example:50052"
                                                  << "--allow-anyone"
                                                  << "";
        QTest::newRow("control on a loopback address") << "allow-control = yes"
                                                       << "127.0.0.5:50052"
                                                       << ""
                                                       << "127.0.0.5:50052";
        QTest::newRow("control on mapped IPv4 loopback") << "allow-control = yes"
                                                         << "[::ffff:127.0.0.1]:50052"
                                                         << ""
                                                         << "[::ffff:127.0.0.1]:50052";
        QTest::newRow("address out of range") << "address = 100"
                                              << ""
                                              << "address takes 0-"
                                              << "";
    }

    void options()
    {
        QFETCH(QString, config);
        QFETCH(QString, listen);
        QFETCH(QString, refusal);
        QFETCH(QString, address);
        QTemporaryDir dir;
        for (const char *name : {"cert.pem", "key.pem"}) {
            QFile file(dir.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile file(dir.filePath(QStringLiteral("sila.conf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QString(config).replace(QLatin1String("{dir}"), dir.path()).toUtf8() + '\n');
        file.close();

        SilaOptions options;
        QString why;
        bool ok = options.readConfig(file.fileName(), &why);
        if (ok && !listen.isEmpty())
            ok = options.setListen(listen, &why);
        if (ok)
            why = options.problem();
        if (refusal.isEmpty()) {
            QVERIFY2(why.isEmpty(), qPrintable(why));
            QCOMPARE(options.listenAddress(), address);
        } else {
            QVERIFY2(why.contains(refusal), qPrintable(why));
        }
    }

    // Who allow-control lets move the pump; client is the name of a verified certificate.
    void controlByName_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("client");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("yes: a client without a name") << "yes"
                                                      << "" << true;
        QTest::newRow("names are exact") << "lab-a"
                                         << "Lab-A" << false;
        QTest::newRow("no name is not listed") << "lab-a"
                                               << "" << false;
    }

    void controlByName()
    {
        QFETCH(QString, value);
        QFETCH(QString, client);
        QFETCH(bool, allowed);
        SilaOptions options;
        QString why;
        QVERIFY2(options.take(QStringLiteral("allow-control"), value, &why), qPrintable(why));
        QCOMPARE(options.control().allows(client), allowed);
        // A later yes drops the names: every client may.
        QVERIFY(options.take(QStringLiteral("allow-control"), QStringLiteral("yes"), &why));
        QVERIFY(options.control().allows(client));
    }

    void settingsFromTheFile()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("sila.conf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("port = /dev/ttyUSB1\naddress = 7\nallow-control = on\ndiscovery = off\n"
                   "insecure = true\nname = Bench 2 = left\nallow-config = yes\n");
        file.close();
        SilaOptions options;
        QString why;
        QVERIFY2(options.readConfig(file.fileName(), &why), qPrintable(why));
        QCOMPARE(options.port, QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(options.address, 7);
        QVERIFY(options.allowControl);
        QVERIFY(options.allowConfig);
        QVERIFY(!options.discovery);
        QVERIFY(options.insecure);
        QCOMPARE(options.name, QStringLiteral("Bench 2 = left"));
    }

    void keyCredentialAndItsMode_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("warned");
        QTest::newRow("the user's alone") << QByteArray("-----BEGIN") << 0600 << true << false;
        QTest::newRow("group may read") << QByteArray("-----BEGIN") << 0640 << true << true;
        QTest::newRow("anyone may read") << QByteArray("-----BEGIN") << 0644 << true << true;
        // The unit's stand-in for a key the service does not have.
        QTest::newRow("blank") << QByteArray("\n") << 0600 << false << false;
    }

    void keyCredentialAndItsMode()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(bool, taken);
        QFETCH(bool, warned);
        QTemporaryDir dir;
        QFile key(dir.filePath(QStringLiteral("key")));
        QVERIFY(key.open(QIODevice::WriteOnly));
        key.write(content);
        key.close();
        QVERIFY(::chmod(QFile::encodeName(key.fileName()).constData(), mode_t(mode)) == 0);
        SilaOptions options;
        options.readCredentials(dir.path());
        QCOMPARE(options.keyFile, taken ? key.fileName() : QString());
        const QStringList warnings = options.exposedSecrets();
        QCOMPARE(warnings.size(), warned ? 1 : 0);
        if (warned)
            QVERIFY(warnings.first().contains(key.fileName()));
    }
};

QTEST_GUILESS_MAIN(TestSilaOptions)
#include "tst_silaoptions.moc"
