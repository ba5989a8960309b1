// dosetta-cli's JSON is the same bytes under a German and an English locale: a lab's scripts
// read it whatever language the PC is set to.

#include "SimProcess.h"

#include <QProcess>
#include <QRegularExpression>
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
}

void tst_JsonLanguage::sameBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("decimals"); // the output holds a number with a fraction
    QTest::newRow("status") << QStringList{"status"} << true;
    QTest::newRow("get with decimals") << QStringList{"get", "flow-rate", "volume"} << true;
    QTest::newRow("set with a decimal point") << QStringList{"set", "flow-rate", "12.5"} << false;
    QTest::newRow("set refused by its limit")
        << QStringList{"set", "flow-rate", "100000.5"} << true;
    QTest::newRow("program check")
        << QStringList{"program", "check", QStringLiteral(EXAMPLE_PROGRAM)} << true;
    QTest::newRow("totals") << QStringList{"totals"} << true;
    QTest::newRow("journal") << QStringList{"journal"} << true;
}

void tst_JsonLanguage::sameBytes()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, decimals);
    const Run english = runCli(sim->devicePath(), arguments, QStringLiteral("C.UTF-8"));
    const Run german = runCli(sim->devicePath(), arguments, QStringLiteral("de_DE.UTF-8"));
    QVERIFY2(!english.out.isEmpty(), "no output");
    QCOMPARE(german.exitCode, english.exitCode);
    QCOMPARE(german.out, english.out);
    if (decimals)
        QVERIFY2(QRegularExpression(QStringLiteral("\\d\\.\\d"))
                     .match(QString::fromUtf8(english.out))
                     .hasMatch(),
                 english.out.constData());
}

QTEST_GUILESS_MAIN(tst_JsonLanguage)
#include "tst_jsonlanguage.moc"
