#include "CliTool.h"
#include "PtyPeer.h"
#include "SimProcess.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

class TestCalibrateCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void calibrate_data();
    void calibrate();
    void calibrateWithBalance();
    void silentBalance();

private:
    struct Run
    {
        int exit = -1;
        QByteArray out;
    };
    Run runCli(const QString &port, const QStringList &arguments);

    QTemporaryDir dir;
    int journalNumber = 0;
    QString journal;
};

void TestCalibrateCli::initTestCase()
{
    QVERIFY(dir.isValid());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
}

TestCalibrateCli::Run TestCalibrateCli::runCli(const QString &port, const QStringList &arguments)
{
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DOSETTA_JOURNAL"), journal);
    env.insert(QStringLiteral("DOSETTA_PORT"), port);
    env.insert(QStringLiteral("DOSETTA_ADDRESS"), QStringLiteral("1"));
    cli.setProcessEnvironment(env);
    // Standard input is no terminal: without --yes nothing may be asked, nor sent.
    cli.setStandardInputFile(QProcess::nullDevice());
    cli.start(QStringLiteral(DOSETTA_CLI_PROGRAM), arguments);
    if (!cli.waitForFinished(30000)) {
        cli.kill();
        cli.waitForFinished(3000);
        return {};
    }
    return {cli.exitCode(), cli.readAllStandardOutput()};
}

void TestCalibrateCli::calibrate_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("pumpAfter"); // calibration-percent read back from the pump
    QTest::addColumn<int>("entries");       // calibrations in the journal
    QTest::addColumn<bool>("sent");
    QTest::addColumn<double>("newPercent");

    QTest::newRow("one dose of water, confirmed")
        << QStringList{"--nominal", "10", "--mass", "9.71", "--yes"} << 0 << "102.8" << 1 << true
        << 102.8;
    QTest::newRow("two doses, no confirmation: nothing sent")
        << QStringList{"--nominal", "10", "--mass", "9.71", "--mass", "9.73"} << 0 << "100.0" << 1
        << false << 102.7;
    QTest::newRow("ethanol's density, confirmed")
        << QStringList{"--nominal", "10", "--mass", "7.7", "--density", "0.789", "--yes"} << 0
        << "102.5" << 1 << true << 102.5;
    QTest::newRow("far too little: refused although confirmed")
        << QStringList{"--nominal", "10", "--mass", "7.0", "--yes"} << 1 << "100.0" << 1 << false
        << 142.6;
    QTest::newRow("a mass of zero: usage, nothing journaled")
        << QStringList{"--nominal", "10", "--mass", "0", "--yes"} << 2 << "100.0" << 0 << false
        << 0.0;
    QTest::newRow("six masses: usage")
        << QStringList{"--nominal", "10", "--mass", "9", "--mass", "9", "--mass", "9",
                       "--mass",    "9",  "--mass", "9", "--mass", "9", "--yes"}
        << 2 << "100.0" << 0 << false << 0.0;
}

void TestCalibrateCli::calibrate()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QString, pumpAfter);
    QFETCH(int, entries);
    QFETCH(bool, sent);
    QFETCH(double, newPercent);

    journal = dir.filePath(QStringLiteral("journal%1.sqlite").arg(++journalNumber));
    SimProcess sim(1);
    QVERIFY(sim.start());
    const Run calibrate = runCli(sim.devicePath(), QStringList{"--json", "calibrate"} + arguments);
    QCOMPARE(calibrate.exit, exit);

    const Run read = runCli(sim.devicePath(), {"get", "calibration-percent"});
    QCOMPARE(read.exit, 0);
    QCOMPARE(QString::fromUtf8(read.out).trimmed(), pumpAfter);

    const Run listed = runCli(QString(), {"--json", "journal", "--calibrations"});
    QCOMPARE(listed.exit, entries == 0 ? 3 : 0); // no calibration: no journal written at all
    const QList<QByteArray> lines = listed.out.trimmed().split('\n');
    if (entries == 0)
        return;
    QCOMPARE(lines.size(), entries);
    const QJsonObject entry = QJsonDocument::fromJson(lines.last()).object();
    QCOMPARE(entry.value("kind").toString(), QStringLiteral("calibration"));
    QCOMPARE(entry.value("origin").toString(), QStringLiteral("cli"));
    QVERIFY(!entry.value("who").toString().isEmpty());
    const QJsonObject fields = entry.value("fields").toObject();
    QCOMPARE(fields.value("sent").toBool(), sent);
    QCOMPARE(fields.value("new_percent").toDouble(), newPercent);
    QCOMPARE(fields.value("old_percent").toDouble(), 100.0);
    QCOMPARE(fields.value("masses_g").toArray().size(), arguments.count("--mass"));
    QVERIFY(!fields.value("verdict").toString().isEmpty());
}

// Dosed by the tool and weighed on the simulator's balance, whose fluid is lighter than the
// density given: the pump seems to deliver 2.8 % too little.
void TestCalibrateCli::calibrateWithBalance()
{
    journal = dir.filePath(QStringLiteral("journal-balance.sqlite"));
    SimProcess sim(1, {"--balance", "--speed", "10", "--balance-density", "0.97"});
    QVERIFY(sim.start());
    const Run calibrate =
        runCli(sim.devicePath(), {"--json", "calibrate", "--nominal", "2", "--balance",
                                  sim.balancePath(), "--doses", "2", "--yes"});
    QCOMPARE(calibrate.exit, 0);
    const QJsonObject result = QJsonDocument::fromJson(calibrate.out.trimmed()).object();
    const QJsonArray masses = result.value("masses_g").toArray();
    QCOMPARE(masses.size(), 2);
    for (const QJsonValue &mass : masses)
        QVERIFY2(std::abs(mass.toDouble() - 1.94) <= 0.0011,
                 qPrintable(QString::number(mass.toDouble())));
    QCOMPARE(result.value("new_percent").toDouble(), 102.9);
    QCOMPARE(result.value("sent").toBool(), true);

    const Run read = runCli(sim.devicePath(), {"get", "calibration-percent"});
    QCOMPARE(QString::fromUtf8(read.out).trimmed(), QStringLiteral("102.9"));
    const Run listed = runCli(QString(), {"--json", "journal", "--calibrations"});
    QCOMPARE(listed.exit, 0);
    QCOMPARE(listed.out.trimmed().split('\n').size(), 1);
}

// A balance that never answers: the tool says so within its bound, and sends nothing.
void TestCalibrateCli::silentBalance()
{
    journal = dir.filePath(QStringLiteral("journal-silent.sqlite"));
    SimProcess sim(1);
    QVERIFY(sim.start());
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    QElapsedTimer clock;
    clock.start();
    const Run calibrate =
        runCli(sim.devicePath(), {"calibrate", "--nominal", "2", "--balance", peer.slavePath(),
                                  "--balance-timeout", "800", "--yes"});
    QCOMPARE(calibrate.exit, 3);
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
    const Run read = runCli(sim.devicePath(), {"get", "calibration-percent"});
    QCOMPARE(QString::fromUtf8(read.out).trimmed(), QStringLiteral("100.0"));
}

QTEST_GUILESS_MAIN(TestCalibrateCli)
#include "tst_calibratecli.moc"
