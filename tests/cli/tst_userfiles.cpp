// Every file a user names on the command line or in a configuration file is read only when it is a
// regular file: a FIFO, a device or a folder is refused at once, with what it is.

#include "CliTool.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class UserFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusedAtOnce_data();
    void refusedAtOnce();

private:
    QTemporaryDir dir;
};

void UserFilesTest::initTestCase()
{
    QVERIFY(dir.isValid());
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(!writeFile(dir.filePath("regular.pem"), "not a certificate\n").isEmpty());
}

void UserFilesTest::refusedAtOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file"); // the one named in the reason
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("exitCode");
    const QString fifo = QStringLiteral("it is a FIFO (named pipe), not a regular file");
    QTest::newRow("program file: FIFO")
        << QStringList{"program", "check", "{dir}/fifo"} << "fifo" << fifo << 2;
    QTest::newRow("program file: device")
        << QStringList{"program", "check", "/dev/null"} << "/dev/null"
        << "it is a device, not a regular file" << 2;
    QTest::newRow("program file: folder")
        << QStringList{"program", "check", "{dir}/folder"} << "folder"
        << "it is a folder, not a regular file" << 2;
    QTest::newRow("bridge password file")
        << QStringList{"serve", "--broker",        "mqtt://127.0.0.1:1", "--username",
                       "u",     "--password-file", "{dir}/fifo"}
        << "fifo" << fifo << 2;
    QTest::newRow("bridge TLS key")
        << QStringList{"serve",       "--broker",          "mqtts://127.0.0.1:1",
                       "--cert-file", "{dir}/regular.pem", "--key-file",
                       "{dir}/fifo"}
        << "fifo" << fifo << 2;
    QTest::newRow("bridge CA file")
        << QStringList{"serve", "--broker", "mqtts://127.0.0.1:1", "--ca-file", "{dir}/fifo"}
        << "fifo" << fifo << 2;
    QTest::newRow("service configuration")
        << QStringList{"serve", "--config", "{dir}/fifo"} << "fifo" << fifo << 2;
    QTest::newRow("SiLA configuration")
        << QStringList{"sila", "--config", "{dir}/fifo"} << "fifo" << fifo << 2;
    QTest::newRow("SiLA key") << QStringList{"sila", "--cert", "{dir}/regular.pem", "--key",
                                             "{dir}/fifo"}
                              << "fifo" << fifo << 2;
    QTest::newRow("SiLA certificate in serve")
        << QStringList{"serve",      "--sila",     "127.0.0.1:0",      "--sila-cert",
                       "{dir}/fifo", "--sila-key", "{dir}/regular.pem"}
        << "fifo" << fifo << 2;
    QTest::newRow("journal") << QStringList{"journal", "--file", "{dir}/fifo"} << "fifo" << fifo
                             << 3;
}

void UserFilesTest::refusedAtOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QString, what);
    QFETCH(int, exitCode);
    arguments.replaceInStrings(QStringLiteral("{dir}"), dir.path());
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath("config"));
    env.remove(QStringLiteral("CREDENTIALS_DIRECTORY"));
    // No pump is needed: a file that cannot be read ends it before a port is opened.
    env.insert(QStringLiteral("DOSETTA_PORT"), QStringLiteral("/nonexistent/ttyPUMP"));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(DOSETTA_CLI_PROGRAM), arguments);
    // Waiting on a FIFO would never end; a refusal is a start-up's work, well under the bound.
    const bool ended = cli.waitForFinished(15000);
    if (!ended) {
        cli.kill();
        cli.waitForFinished();
    }
    QVERIFY2(ended, "still waiting after 15 s");
    QCOMPARE(cli.exitCode(), exitCode);
    const QString errors = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
    QVERIFY2(errors.contains(file + QStringLiteral(": cannot be read: ") + what),
             qPrintable(errors));
}

QTEST_GUILESS_MAIN(UserFilesTest)
#include "tst_userfiles.moc"
