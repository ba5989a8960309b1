// dosetta-cli's JSON is the same bytes under a German and an English locale: a lab's scripts
// read it whatever language the PC is set to.

#include "SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
};

Run runCli(const QString &port, const QStringList &arguments, const QString &locale)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DOSETTA_PORT"), port);
    env.insert(QStringLiteral("DOSETTA_ADDRESS"), QStringLiteral("1"));
    for (const char *name : {"LANG", "LC_ALL", "LC_NUMERIC", "LC_MESSAGES"})
        env.insert(QString::fromLatin1(name), locale);
    env.insert(QStringLiteral("LANGUAGE"), locale.left(2));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DOSETTA_CLI_PROGRAM), QStringList{QStringLiteral("--json")} + arguments);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    return r;
}

} // namespace

class tst_JsonLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameBytes_data();
    void sameBytes();

private:
    std::unique_ptr<SimProcess> sim;
    QTemporaryDir dir;
    QString faulty; // a program file with an error and a note
};

void tst_JsonLanguage::initTestCase()
{
    sim = std::make_unique<SimProcess>(1);
    QVERIFY(sim->start());
    // A set-point with decimals, so the values below have a decimal separator to get wrong.
    const Run set = runCli(sim->devicePath(), {"set", "flow-rate", "12.5"}, "C.UTF-8");
    QCOMPARE(set.exitCode, 0);
    // A run in the journal and the totals, with a fraction of a millilitre.
    const Run dose = runCli(sim->devicePath(),
                            {"dispense", "--volume", "0.25", "--rate", "60", "--wait"}, "C.UTF-8");
    QCOMPARE(dose.exitCode, 0);
    faulty = dir.filePath(QStringLiteral("faulty.json"));
    QFile file(faulty);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"format": "dosetta-program/1", "name": "x", "steps": [
        {"dose": {"volume_ml": 0.1, "rate_ml_min": 100}}, {"wait": {"for_s": 0.5}}]})");
}

void tst_JsonLanguage::sameBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("decimals");   // the output holds a number with a fraction
    QTest::addColumn<QString>("english"); // a text the output holds, word for word
    QTest::newRow("status") << QStringList{"status"} << true << QString();
    QTest::newRow("get with decimals")
        << QStringList{"get", "flow-rate", "volume"} << true << QString();
    QTest::newRow("set with a decimal point")
        << QStringList{"set", "flow-rate", "12.5"} << false << QString();
    QTest::newRow("set refused by its limit")
        << QStringList{"set", "flow-rate", "100000.5"} << true << "is outside 1.0 - 100.0 ml/min";
    QTest::newRow("program check")
        << QStringList{"program", "check", QStringLiteral(EXAMPLE_PROGRAM)} << true << QString();
    QTest::newRow("program check, an error")
        << QStringList{"program", "check", faulty} << true
        << "steps[1].wait.for_s: 0.5 is below 1 s, the shortest wait the pump can time";
    QTest::newRow("totals") << QStringList{"totals"} << true << QString();
    QTest::newRow("journal") << QStringList{"journal"} << true << QString();
}

void tst_JsonLanguage::sameBytes()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, decimals);
    QFETCH(QString, english);
    const Run inEnglish = runCli(sim->devicePath(), arguments, QStringLiteral("C.UTF-8"));
    const Run german = runCli(sim->devicePath(), arguments, QStringLiteral("de_DE.UTF-8"));
    QVERIFY2(!inEnglish.out.isEmpty(), "no output");
    QCOMPARE(german.exitCode, inEnglish.exitCode);
    QCOMPARE(german.out, inEnglish.out);
    if (decimals)
        QVERIFY2(QRegularExpression(QStringLiteral("\\d\\.\\d"))
                     .match(QString::fromUtf8(inEnglish.out))
                     .hasMatch(),
                 inEnglish.out.constData());
    // Not merely the same: English.
    QVERIFY2(german.out.contains(english.toUtf8()), german.out.constData());
}

QTEST_GUILESS_MAIN(tst_JsonLanguage)
#include "tst_jsonlanguage.moc"
