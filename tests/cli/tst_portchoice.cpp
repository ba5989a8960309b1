// Which port and address the tool talks to, from the sources in their order, without a port.

#include "cli/PortChoice.h"

#include <QtTest>

class tst_PortChoice : public QObject
{
    Q_OBJECT

private slots:
    void choose_data();
    void choose();
};

void tst_PortChoice::choose_data()
{
    QTest::addColumn<QString>("optionPort");
    QTest::addColumn<int>("optionAddress");
    QTest::addColumn<QString>("configPort");
    QTest::addColumn<int>("configAddress");
    QTest::addColumn<QString>("environmentPort");
    QTest::addColumn<QString>("environmentAddress"); // "-": not set
    QTest::addColumn<QString>("storedPort");
    QTest::addColumn<QVariant>("storedAddress");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("error"); // a fragment; empty: chosen

    const QVariant none;
    QTest::newRow("the command line wins") << "/dev/a" << 5 << "/dev/b" << 6 << "/dev/c"
                                           << "7"
                                           << "/dev/d" << QVariant(8) << "/dev/a" << 5 << "";
    QTest::newRow("the configuration file before the environment")
        << "" << -1 << "/dev/b" << 6 << "/dev/c"
        << "7"
        << "/dev/d" << QVariant(8) << "/dev/b" << 6 << "";
    QTest::newRow("the environment before the window's")
        << "" << -1 << "" << -1 << "/dev/c"
        << "7"
        << "/dev/d" << QVariant(8) << "/dev/c" << 7 << "";
    QTest::newRow("the window's choice last") << "" << -1 << "" << -1 << ""
                                              << "-"
                                              << "/dev/d" << QVariant(8) << "/dev/d" << 8 << "";
    QTest::newRow("port and address from different places")
        << "/dev/a" << -1 << "" << -1 << ""
        << "3"
        << "/dev/d" << QVariant(8) << "/dev/a" << 3 << "";
    QTest::newRow("address 0 on the command line is given") << "/dev/a" << 0 << "" << -1 << ""
                                                            << "7"
                                                            << "" << none << "/dev/a" << 0 << "";
    QTest::newRow("no port anywhere") << "" << 4 << "" << -1 << ""
                                      << "-"
                                      << "" << none << "" << 0 << "no port given";
    QTest::newRow("DOSETTA_ADDRESS at the highest pump address")
        << "/dev/a" << -1 << "" << -1 << ""
        << "98"
        << "" << none << "/dev/a" << 98 << "";
    QTest::newRow("DOSETTA_ADDRESS past the pump's addresses")
        << "/dev/a" << -1 << "" << -1 << ""
        << "99"
        << "" << none << "" << 0 << "must be 0-98";
    QTest::newRow("DOSETTA_ADDRESS no number") << "/dev/a" << -1 << "" << -1 << ""
                                               << "x1"
                                               << "" << none << "" << 0 << "not \"x1\"";
    QTest::newRow("DOSETTA_ADDRESS set but empty") << "/dev/a" << -1 << "" << -1 << ""
                                                   << ""
                                                   << "" << QVariant(8) << "" << 0 << "must be";
    QTest::newRow("the window's extra address 99 is kept")
        << "/dev/a" << -1 << "" << -1 << ""
        << "-"
        << "" << QVariant(99) << "/dev/a" << 99 << "";
    QTest::newRow("a stored address past the window's list is the default")
        << "/dev/a" << -1 << "" << -1 << ""
        << "-"
        << "" << QVariant(100) << "/dev/a" << 0 << "";
    QTest::newRow("a stored address that is no number is the default")
        << "/dev/a" << -1 << "" << -1 << ""
        << "-"
        << "" << QVariant(QStringLiteral("abc")) << "/dev/a" << 0 << "";
    QTest::newRow("an empty DOSETTA_PORT is not given") << "" << -1 << "" << -1 << ""
                                                        << "-"
                                                        << "/dev/d" << none << "/dev/d" << 0 << "";
}

void tst_PortChoice::choose()
{
    QFETCH(QString, environmentAddress);
    QFETCH(QString, port);
    QFETCH(int, address);
    QFETCH(QString, error);
    PortChoice::Sources s;
    QFETCH(QString, optionPort);
    QFETCH(int, optionAddress);
    QFETCH(QString, configPort);
    QFETCH(int, configAddress);
    QFETCH(QString, environmentPort);
    QFETCH(QString, storedPort);
    QFETCH(QVariant, storedAddress);
    s.optionPort = optionPort;
    s.optionAddress = optionAddress;
    s.configPort = configPort;
    s.configAddress = configAddress;
    s.environmentPort = environmentPort;
    if (environmentAddress != QLatin1String("-"))
        s.environmentAddress = environmentAddress;
    s.storedPort = storedPort;
    s.storedAddress = storedAddress;

    const PortChoice c = PortChoice::choose(s);
    if (!error.isEmpty()) {
        QVERIFY2(c.error.contains(error), qPrintable(c.error));
        return;
    }
    QVERIFY2(c.ok(), qPrintable(c.error));
    QCOMPARE(c.port, port);
    QCOMPARE(c.address, address);
}

QTEST_GUILESS_MAIN(tst_PortChoice)
#include "tst_portchoice.moc"
