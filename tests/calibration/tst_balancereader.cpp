#include "CliTool.h"
#include "PtyPeer.h"
#include "SimProcess.h"
#include "balance/BalanceReader.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using Kind = BalanceReader::Reply::Kind;
Q_DECLARE_METATYPE(Kind)

class TestBalanceReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parse_data();
    void parse();
    void atRest();
    void doseWeighedOnceSettled();
    void silentLine();

private:
    QTemporaryDir dir;
};

void TestBalanceReader::initTestCase()
{
    QVERIFY(dir.isValid());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("DOSETTA_JOURNAL", dir.filePath(QStringLiteral("journal.sqlite")).toUtf8());
}

void TestBalanceReader::parse_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<double>("grams");

    QTest::newRow("S S     12.3456 g")
        << QByteArray("S S     12.3456 g") << Kind::Stable << 12.3456;
    QTest::newRow("S D      0.5000 g") << QByteArray("S D      0.5000 g") << Kind::Dynamic << 0.5;
    QTest::newRow("S S     -0.0003 g, CR left")
        << QByteArray("S S     -0.0003 g\r") << Kind::Stable << -0.0003;
    QTest::newRow("S S 12 kg: not grams") << QByteArray("S S 12.0000 kg") << Kind::Garbled << 0.0;
    QTest::newRow("S S without a number") << QByteArray("S S   abc g") << Kind::Garbled << 0.0;
    QTest::newRow("S I: busy") << QByteArray("S I") << Kind::Busy << 0.0;
    QTest::newRow("Z A") << QByteArray("Z A") << Kind::ZeroDone << 0.0;
    QTest::newRow("Z I: busy") << QByteArray("Z I") << Kind::Busy << 0.0;
    QTest::newRow("ES") << QByteArray("ES") << Kind::Error << 0.0;
    QTest::newRow("ET") << QByteArray("ET") << Kind::Error << 0.0;
    QTest::newRow("EL") << QByteArray("EL") << Kind::Error << 0.0;
    QTest::newRow("S +: overload") << QByteArray("S +") << Kind::Error << 0.0;
    QTest::newRow("empty") << QByteArray() << Kind::Garbled << 0.0;
    QTest::newRow("noise") << QByteArray("\x01\x7f#") << Kind::Garbled << 0.0;
}

void TestBalanceReader::parse()
{
    QFETCH(QByteArray, line);
    QFETCH(Kind, kind);
    QFETCH(double, grams);

    const BalanceReader::Reply r = BalanceReader::parse(line);
    QCOMPARE(r.kind, kind);
    QCOMPARE(r.grams, grams);
    // What the operator reads names the trouble.
    QCOMPARE(r.text.isEmpty(), kind != Kind::Error && kind != Kind::Garbled);
}

void TestBalanceReader::atRest()
{
    SimProcess sim(1, {QStringLiteral("--balance")});
    QVERIFY(sim.start());
    BalanceReader balance;
    QVERIFY2(balance.open(sim.balancePath()), qPrintable(balance.error()));
    QVERIFY2(balance.zero(3000), qPrintable(balance.error()));
    const BalanceReader::Reading r = balance.stableWeight(3000);
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY2(std::abs(r.grams) <= 0.0011, qPrintable(QString::number(r.grams)));
}

// The pump is still dosing when the weight is first asked for: only the settled weight of the
// whole dose may come back, never one taken on the way.
void TestBalanceReader::doseWeighedOnceSettled()
{
    SimProcess sim(1, {QStringLiteral("--balance"), QStringLiteral("--balance-density"),
                       QStringLiteral("1.2")});
    QVERIFY(sim.start());
    BalanceReader balance;
    QVERIFY2(balance.open(sim.balancePath()), qPrintable(balance.error()));
    QVERIFY2(balance.zero(3000), qPrintable(balance.error()));
    // 2 ml at full flow takes a second or more; dispense returns once the pump took the start.
    QProcess cli;
    startCli(cli, sim.devicePath(),
             {QStringLiteral("dispense"), QStringLiteral("--volume"), QStringLiteral("2")});
    QVERIFY(cli.waitForFinished(15000));
    QCOMPARE(cli.exitCode(), 0);
    QElapsedTimer clock;
    clock.start();
    const BalanceReader::Reading r = balance.stableWeight(30000);
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY2(std::abs(r.grams - 2.4) <= 0.0011, qPrintable(QString::number(r.grams)));
    // It waited for the motor and the settling after it.
    QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
}

void TestBalanceReader::silentLine()
{
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    BalanceReader balance;
    QVERIFY2(balance.open(peer.slavePath()), qPrintable(balance.error()));
    QElapsedTimer clock;
    clock.start();
    const BalanceReader::Reading r = balance.stableWeight(700);
    const qint64 took = clock.elapsed();
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(QLatin1String("did not answer")), qPrintable(r.error));
    QVERIFY2(took >= 650 && took < 5000, qPrintable(QString::number(took)));
    QVERIFY(!balance.zero(300));
    QVERIFY2(balance.error().contains(QLatin1String("did not zero")), qPrintable(balance.error()));
    QVERIFY(QByteArray::fromStdString(peer.received()).contains("S\r\nZ\r\n"));
}

QTEST_GUILESS_MAIN(TestBalanceReader)
#include "tst_balancereader.moc"
