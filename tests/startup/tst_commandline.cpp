// The program's command line: what it lets through to the window, and what --help, --version and
// a wrong option do when the real program runs without any display.

#include "app/CommandLine.h"

#include <QProcess>
#include <QtTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void recordOption_data();
    void recordOption();
    void program_data();
    void program();
};

void CommandLineTest::parse_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the program's name
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("nothing") << QStringList{} << Action::Run << "";
    QTest::newRow("factory access code first")
        << QStringList{"--QZW service gate"} << Action::Run << "";
    QTest::newRow("access code, then Qt's style")
        << QStringList{"--QZW service gate", "-style", "fusion"} << Action::Run << "";
    QTest::newRow("access code in another case")
        << QStringList{"--qzw service gate"} << Action::UsageError
        << "unknown option '--qzw service gate'";
    QTest::newRow("access code in second place")
        << QStringList{"-reverse", "--QZW service gate"} << Action::UsageError
        << "unknown option '--QZW service gate'";
    QTest::newRow("help") << QStringList{"--help"} << Action::Help << "";
    QTest::newRow("short help") << QStringList{"-h"} << Action::Help << "";
    QTest::newRow("version") << QStringList{"--version"} << Action::Version << "";
    QTest::newRow("help wins over version")
        << QStringList{"--version", "--help"} << Action::Help << "";
    QTest::newRow("Qt platform with its value")
        << QStringList{"-platform", "offscreen"} << Action::Run << "";
    QTest::newRow("Qt platform with two dashes")
        << QStringList{"--platform", "offscreen", "--version"} << Action::Version << "";
    QTest::newRow("Qt style after '='") << QStringList{"-style=fusion"} << Action::Run << "";
    QTest::newRow("Qt switches") << QStringList{"-reverse", "-sync"} << Action::Run << "";
    QTest::newRow("a Qt value that looks like an option")
        << QStringList{"-qwindowtitle", "--help"} << Action::Run << "";
    QTest::newRow("Qt option without its value")
        << QStringList{"-style"} << Action::UsageError << "option '-style' needs a value";
    QTest::newRow("unknown option")
        << QStringList{"--frobnicate"} << Action::UsageError << "unknown option '--frobnicate'";
    QTest::newRow("unknown single-dash option")
        << QStringList{"-x"} << Action::UsageError << "unknown option '-x'";
    QTest::newRow("unknown option beats a help after it")
        << QStringList{"--bogus", "--help"} << Action::UsageError << "unknown option '--bogus'";
    QTest::newRow("stray argument")
        << QStringList{"pump.csv"} << Action::UsageError << "unexpected argument 'pump.csv'";
    QTest::newRow("lone dash") << QStringList{"-"} << Action::UsageError
                               << "unexpected argument '-'";
}

void CommandLineTest::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, complaint);

    const CommandLine line = CommandLine::parse(QStringList{"dosetta"} + arguments);
    QCOMPARE(line.action(), action);
    QCOMPARE(line.complaint(), complaint);
}

void CommandLineTest::recordOption_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the program's name
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("file as the next argument")
        << QStringList{"--record", "run.csv"} << Action::Run << "run.csv"
        << "";
    QTest::newRow("file after '='")
        << QStringList{"--record=/tmp/a b.csv"} << Action::Run << "/tmp/a b.csv"
        << "";
    QTest::newRow("a file named like an option is a file")
        << QStringList{"--record", "--help"} << Action::Run << "--help"
        << "";
    QTest::newRow("no file") << QStringList{"--record"} << Action::UsageError << ""
                             << "option '--record' needs a file name";
    QTest::newRow("twice") << QStringList{"--record", "a.csv", "--record", "b.csv"}
                           << Action::UsageError << "a.csv"
                           << "option '--record' given twice";
    QTest::newRow("one dash is not it")
        << QStringList{"-record", "r.csv"} << Action::UsageError << ""
        << "unknown option '-record'";
}

void CommandLineTest::recordOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, file);
    QFETCH(QString, complaint);

    const CommandLine line = CommandLine::parse(QStringList{"dosetta"} + arguments);
    QCOMPARE(line.action(), action);
    QCOMPARE(line.complaint(), complaint);
    if (action != Action::UsageError)
        QCOMPARE(line.recordFile(), file);
}

void CommandLineTest::program_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out"); // the start of standard output
    QTest::addColumn<QByteArray>("err"); // the first line of standard error

    const QString dosetta = QStringLiteral(DOSETTA_PROGRAM);
    const QString sim = QStringLiteral(FLUXO_SIM_PROGRAM);
    QTest::newRow("dosetta --version")
        << dosetta << QStringList{"--version"} << 0 << QByteArray("dosetta " DOSETTA_VERSION "\n")
        << QByteArray();
    QTest::newRow("dosetta --help") << dosetta << QStringList{"--help"} << 0
                                    << QByteArray("Usage: dosetta [OPTION]...") << QByteArray();
    QTest::newRow("dosetta -h with a Qt option")
        << dosetta << QStringList{"-platform", "xcb", "-h"} << 0 << QByteArray("Usage: dosetta")
        << QByteArray();
    QTest::newRow("dosetta --record without its file")
        << dosetta << QStringList{"--record"} << 2 << QByteArray()
        << QByteArray("dosetta: option '--record' needs a file name");
    QTest::newRow("dosetta with an unknown option")
        << dosetta << QStringList{"--bogus"} << 2 << QByteArray()
        << QByteArray("dosetta: unknown option '--bogus'");
    QTest::newRow("fluxo-sim --version")
        << sim << QStringList{"--version"} << 0 << QByteArray("fluxo-sim " DOSETTA_VERSION "\n")
        << QByteArray();
    QTest::newRow("fluxo-sim with an unknown option")
        << sim << QStringList{"--bogus"} << 2 << QByteArray()
        << QByteArray("fluxo-sim: unknown option '--bogus'");
}

void CommandLineTest::program()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    // No display and no platform chosen: a program that built its window would abort.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QByteArray output = process.readAllStandardOutput();
    const QList<QByteArray> errors = process.readAllStandardError().split('\n');
    QVERIFY2(output.startsWith(out), output.constData());
    if (err.isEmpty()) {
        QCOMPARE(errors, QList<QByteArray>{QByteArray()});
    } else {
        // The complaint, then the usage and where to find more.
        QCOMPARE(errors.size(), 4);
        QCOMPARE(errors.at(0), err);
        QVERIFY2(errors.at(1).startsWith("Usage: "), errors.at(1).constData());
        QVERIFY2(errors.at(2).contains("--help"), errors.at(2).constData());
    }
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
