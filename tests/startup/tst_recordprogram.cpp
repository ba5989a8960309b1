// The program started with --record FILE against the simulated pump, under a German locale
// (decimal comma): it writes rows from the start, keeps "." as the decimal point, and on SIGTERM
// ends normally with the file ending in a whole row.

#include "ProgramSandbox.h"
#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Starts the program in the sandbox with a German locale in its environment.
std::unique_ptr<QProcess> startGerman(const ProgramSandbox &sandbox, const QString &port,
                                      const QStringList &arguments)
{
    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", "de_DE.UTF-8");
    auto program = sandbox.startProgram({port}, arguments);
    qputenv("LC_ALL", saved);
    return program;
}

} // namespace

class RecordProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordsFromTheStartAndEndsOnSigterm();

private:
    ProgramSandbox sandbox;
    SimProcess sim{1};
};

void RecordProgramTest::initTestCase()
{
    QVERIFY(sandbox.isValid());
    QVERIFY(sim.start());
    sandbox.presetInstance(1, sim.devicePath(), 1);
}

void RecordProgramTest::recordsFromTheStartAndEndsOnSigterm()
{
    const QString path = sandbox.path() + QStringLiteral("/run.csv");
    auto program = startGerman(sandbox, sim.devicePath(), {"--record", path});
    QCOMPARE(program->state(), QProcess::Running);

    // A row per refresh tick (700 ms): eight rows within a generous bound, the later ones with
    // the pump's values.
    const QDeadlineTimer deadline(20000);
    while (contents(path).count('\n') < 9 && !deadline.hasExpired())
        QTest::qWait(100);
    QVERIFY2(contents(path).count('\n') >= 9, contents(path).constData());

    program->terminate();
    QVERIFY(program->waitForFinished(5000));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 0);

    const QByteArray text = contents(path);
    QVERIFY(text.startsWith("time_utc,elapsed_s,link,run_state,"));
    QVERIFY(text.endsWith("\r\n"));
    const QList<QByteArray> lines = text.split('\n');
    const QRegularExpression row(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,\\d+\\.\\d{3},"
        "(connected|disconnected|port unavailable|),(running|paused|priming|stopped|unknown),"
        "(flow|volume|flow-dispense|),(\\d+\\.\\d{3}|),(\\d+\\.\\d{3}|),(\\d+\\.\\d{3}|),"
        "(\\d+\\.\\d\\d|),(\\d+|),[^,]*,[^,]*,[^,]*,[^,]*\r$"));
    for (int i = 1; i < lines.size() - 1; ++i)
        QVERIFY2(row.match(QString::fromUtf8(lines.at(i))).hasMatch(), lines.at(i).constData());
    // The last row has every value of the polled pump; the sim's flow rate is 10 ml/min.
    QVERIFY2(lines.at(lines.size() - 2).contains(",connected,stopped,flow,10.000,"),
             lines.at(lines.size() - 2).constData());
}

QTEST_GUILESS_MAIN(RecordProgramTest)
#include "tst_recordprogram.moc"
