// The README's first command, scripts/demo.sh, in its short mode against this build tree: the
// window must be talking to the simulated pump within three seconds of the simulator's start.

#include "SimLog.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

#ifndef DOSETTA_SOURCE_DIR
#error "DOSETTA_SOURCE_DIR must name the source tree"
#endif
#ifndef DOSETTA_BUILD_TREE
#error "DOSETTA_BUILD_TREE must name the build tree holding bin/dosetta"
#endif

namespace {

// The demo's simulated pump.
const QString pumpAddress = QStringLiteral("01");

QProcessEnvironment demoEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DOSETTA_BUILD_DIR"), QStringLiteral(DOSETTA_BUILD_TREE));
    // This tree is built already; a build from inside the test run would race the test runner.
    environment.insert(QStringLiteral("DOSETTA_DEMO_NO_BUILD"), QStringLiteral("1"));
    return environment;
}

} // namespace

class DemoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void answeredWithinThreeSeconds_data();
    void answeredWithinThreeSeconds();
    void withoutDisplaySaysHow();

private:
    std::vector<SimLog::Entry> log;
};

void DemoTest::initTestCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString simLog = dir.filePath(QStringLiteral("sim.log"));
    QProcessEnvironment environment = demoEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("DOSETTA_DEMO_SECONDS"), QStringLiteral("6"));
    environment.insert(QStringLiteral("DOSETTA_DEMO_SIM_LOG"), simLog);

    QProcess demo;
    demo.setProcessEnvironment(environment);
    demo.setWorkingDirectory(dir.path());
    demo.start(QStringLiteral("bash"), {QStringLiteral(DOSETTA_SOURCE_DIR "/scripts/demo.sh")});
    QVERIFY(demo.waitForStarted(5000));
    QVERIFY2(demo.waitForFinished(30000), "the demo did not end after its six seconds");
    const QByteArray errors = demo.readAllStandardError();
    QVERIFY2(demo.exitStatus() == QProcess::NormalExit && demo.exitCode() == 0, errors.constData());

    QFile file(simLog);
    QVERIFY(file.open(QIODevice::ReadOnly));
    log = SimLog::parse(file.readAll());
    QVERIFY(!log.empty());
    // The simulator's first line reports its device: its start.
    QCOMPARE(log.front().direction, QStringLiteral("--"));
}

// Each query must be received and answered with a data frame by then. The check comes first,
// then the first refresh tick (every-tick list, then a fast and a slow rotation step).
void DemoTest::answeredWithinThreeSeconds_data()
{
    QTest::addColumn<QString>("query");

    QTest::newRow("communication check ?SI") << QStringLiteral("?SI");
    QTest::newRow("every tick: volume delivered ?TV") << QStringLiteral("?TV");
    QTest::newRow("every tick: status group 1 ?SS1") << QStringLiteral("?SS1");
    QTest::newRow("every tick: set-point ?DV") << QStringLiteral("?DV");
    QTest::newRow("fast rotation: auto start ?SA") << QStringLiteral("?SA");
    QTest::newRow("slow rotation: analog input ?RA") << QStringLiteral("?RA");
}

void DemoTest::answeredWithinThreeSeconds()
{
    QFETCH(QString, query);
    const qint64 started = log.front().ms;
    for (std::size_t i = 0; i + 1 < log.size(); ++i) {
        if (log[i].direction != QLatin1String("rx") || log[i].body != pumpAddress + query)
            continue;
        const SimLog::Entry &answer = log[i + 1];
        QCOMPARE(answer.direction, QStringLiteral("tx"));
        QVERIFY2(!answer.body.isEmpty(), qPrintable(answer.line));
        QVERIFY2(answer.ms - started <= 3000,
                 qPrintable(QStringLiteral("answered %1 ms after the simulator started")
                                .arg(answer.ms - started)));
        return;
    }
    QFAIL(qPrintable(query + " never reached the simulated pump"));
}

void DemoTest::withoutDisplaySaysHow()
{
    QProcessEnvironment environment = demoEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));

    QProcess demo;
    demo.setProcessEnvironment(environment);
    demo.start(QStringLiteral("bash"), {QStringLiteral(DOSETTA_SOURCE_DIR "/scripts/demo.sh")});
    QVERIFY(demo.waitForFinished(10000));
    QCOMPARE(demo.exitCode(), 1);
    const QStringList lines = QString::fromLocal8Bit(demo.readAllStandardError())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(QLatin1String("xvfb-run -a scripts/demo.sh")),
             qPrintable(lines.first()));
    QVERIFY(demo.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(DemoTest)
#include "tst_demo.moc"
