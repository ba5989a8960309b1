// dosetta-cli sila as a program: what it refuses before it listens, the line it serves with, and
// how it ends on SIGTERM while a client's flow runs on the simulated pump.
#include "SimProcess.h"
#include "sila/SilaIdentity.h"

#include <DosingPumpController.grpc.pb.h>
#include <grpcpp/grpcpp.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace pump = sila2::org::dosetta::dispensing::dosingpumpcontroller::v1;

class TestSilaCommand : public QObject
{
    Q_OBJECT

private:
    static QProcessEnvironment environment(const QTemporaryDir &dir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        env.remove(QStringLiteral("CREDENTIALS_DIRECTORY"));
        return env;
    }

private slots:
    // What the options themselves refuse is tested with them; here, that the command line
    // reaches them and nothing starts.
    void refusedBeforeListening_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("said");
        QTest::newRow("IPv6 without brackets")
            << QStringList{"--listen", "::1:50052"} << "--listen: \"::1:50052\" is not HOST:PORT";
        QTest::newRow("insecure with a certificate")
            << QStringList{"--insecure", "--cert", "/etc/hostname", "--key", "/etc/hostname"}
            << "takes no certificate or key";
        QTest::newRow("unknown option")
            << QStringList{"--broker", "mqtt://x"} << "sila has no option \"--broker\"";
    }

    void refusedBeforeListening()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, said);
        QTemporaryDir dir;
        QProcess cli;
        cli.setProcessEnvironment(environment(dir));
        cli.start(QStringLiteral(DOSETTA_CLI_PROGRAM),
                  QStringList{"--port", "/dev/null", "sila"} + options);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 2);
        const QString errors = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(errors.contains(said), qPrintable(errors));
        QCOMPARE(cli.readAllStandardOutput(), QByteArray());
        // Refused before an identity was made.
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Halvo Dorvex/sila/uuid"))));
    }

    // The lab's certificate and key are checked as a pair before anything listens: a wrong
    // pair is a wrong configuration (2, which the unit does not restart), told in one line.
    void mismatchedPairIsOneLine_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("said");
        const QStringList listen{"--listen", "127.0.0.1:0", "--no-discovery"};
        QTest::newRow("another certificate's key")
            << QStringList{"sila", "--cert", "{a}/certificate.pem", "--key", "{b}/key.pem"} + listen
            << "the key {b}/key.pem does not belong to the certificate {a}/certificate.pem";
        QTest::newRow("a key as the certificate")
            << QStringList{"sila", "--cert", "{a}/key.pem", "--key", "{a}/key.pem"} + listen
            << "{a}/key.pem holds no PEM certificate";
        QTest::newRow("another certificate's key, served beside MQTT's options")
            << QStringList{"serve",
                           "--sila",
                           "127.0.0.1:0",
                           "--sila-cert",
                           "{a}/certificate.pem",
                           "--sila-key",
                           "{b}/key.pem",
                           "--sila-no-discovery"}
            << "the key {b}/key.pem does not belong to the certificate {a}/certificate.pem";
    }

    void mismatchedPairIsOneLine()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, said);
        QTemporaryDir dir;
        // Two servers' self-signed pairs, made as the server makes its own.
        for (const char *name : {"a", "b"}) {
            SilaIdentity identity;
            QByteArray certificate;
            QByteArray key;
            QString problem;
            QVERIFY2(identity.load(dir.filePath(QLatin1String(name)), &problem) &&
                         identity.selfSigned(&certificate, &key, &problem),
                     qPrintable(problem));
            options.replaceInStrings(QLatin1Char('{') + QLatin1String(name) + QLatin1Char('}'),
                                     dir.filePath(QLatin1String(name)));
            said.replace(QLatin1Char('{') + QLatin1String(name) + QLatin1Char('}'),
                         dir.filePath(QLatin1String(name)));
        }
        QProcess cli;
        cli.setProcessEnvironment(environment(dir));
        cli.start(QStringLiteral(DOSETTA_CLI_PROGRAM),
                  QStringList{"--port", "/dev/null", "--address", "1"} + options);
        QVERIFY(cli.waitForFinished(15000));
        QCOMPARE(cli.exitCode(), 2);
        const QString errors = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(errors, QStringLiteral("dosetta-cli: %1\n").arg(said));
    }

    // After a server has ended however it ended: the run a killed process left open on its pump
    // is closed and the pump stopped; with none, the pump is not even opened.
    void stopLeftStopsOnlyWhatWasLeftGoing_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("killed"); // the run's process killed, or ended as it should
        QTest::newRow("sila, a run left going") << QStringList{"sila", "--stop-left"} << true;
        QTest::newRow("serve, a run left going")
            << QStringList{"serve", "--sila", "127.0.0.1:0", "--stop-left"} << true;
        QTest::newRow("sila, the run closed by its owner")
            << QStringList{"sila", "--stop-left"} << false;
    }

    void stopLeftStopsOnlyWhatWasLeftGoing()
    {
        QFETCH(QStringList, command);
        QFETCH(bool, killed);
        SimProcess sim(1);
        QVERIFY(sim.start());
        QTemporaryDir dir;
        QProcessEnvironment env = environment(dir);
        env.insert(QStringLiteral("DOSETTA_JOURNAL"), dir.filePath(QStringLiteral("j.sqlite")));
        const QStringList line{"--port", sim.devicePath(), "--address", "1"};
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(DOSETTA_CLI_PROGRAM),
                  line + QStringList{"run", "--rate", "5", "--wait"});
        QVERIFY(run.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(QStringLiteral("01KY1")), 10000);
        if (killed)
            ::kill(pid_t(run.processId()), SIGKILL);
        else
            run.terminate();
        QVERIFY(run.waitForFinished(10000));
        // Until the simulator's log of the run's own frames has caught up.
        while (sim.waitForReceived(sim.received().size() + 1, 700)) {
        }
        const int framesBefore = sim.received().size();

        QProcess left;
        left.setProcessEnvironment(env);
        left.start(QStringLiteral(DOSETTA_CLI_PROGRAM), line + command);
        QVERIFY(left.waitForFinished(30000));
        QCOMPARE(left.exitCode(), 0);
        const QString said = QString::fromUtf8(left.readAllStandardError());
        if (!killed) {
            QCOMPARE(said, QString());
            // The simulator's log comes through a pipe: a second for a frame to show.
            QVERIFY(!sim.waitForReceived(framesBefore + 1, 1000));
            return;
        }
        QVERIFY2(said.contains(QStringLiteral("owner-gone")) &&
                     said.contains(QStringLiteral("was still running and was stopped")),
                 qPrintable(said));
        QTRY_VERIFY_WITH_TIMEOUT(sim.received().mid(framesBefore).contains("01KY0"), 5000);
        QVERIFY(!sim.received().mid(framesBefore).contains(QStringLiteral("01KY1")));
        // Closed: a second look finds nothing and opens nothing.
        left.start(QStringLiteral(DOSETTA_CLI_PROGRAM), line + command);
        QVERIFY(left.waitForFinished(30000));
        QCOMPARE(left.exitCode(), 0);
        QCOMPARE(left.readAllStandardError(), QByteArray());
    }

    void sigtermStopsTheClientsFlow()
    {
        SimProcess sim(1, {QStringLiteral("--speed"), QStringLiteral("10")});
        QVERIFY(sim.start());
        QTemporaryDir dir;
        QProcess cli;
        cli.setProcessEnvironment(environment(dir));
        cli.start(QStringLiteral(DOSETTA_CLI_PROGRAM),
                  {"--port", sim.devicePath(), "--address", "1", "sila", "--listen", "127.0.0.1:0",
                   "--insecure", "--allow-control", "--no-discovery"});
        QVERIFY(cli.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(cli.canReadLine(), 15000);
        const QString line = QString::fromUtf8(cli.readLine()).trimmed();
        const QRegularExpressionMatch served =
            QRegularExpression(
                QStringLiteral(
                    "^serving SiLA 2 \\(plain text, server UUID ([0-9a-f-]{36}), .*control "
                    "allowed\\) on 127\\.0\\.0\\.1:(\\d+)$"))
                .match(line);
        QVERIFY2(served.hasMatch(), qPrintable(line));
        QFile uuidFile(dir.filePath(QStringLiteral("Halvo Dorvex/sila/uuid")));
        QVERIFY(uuidFile.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(uuidFile.readAll()).trimmed(), served.captured(1));

        // A flow asked before the pump first answered would be refused: the link is not up.
        QVERIFY(sim.waitForReceived(4, 10000));
        const auto stub = pump::DosingPumpController::NewStub(grpc::CreateChannel(
            "127.0.0.1:" + served.captured(2).toStdString(), grpc::InsecureChannelCredentials()));
        pump::GenerateFlow_Parameters flow;
        flow.mutable_flowrate()->set_value(30);
        flow.mutable_runtime()->set_value(0);
        grpc::ClientContext context;
        context.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(10));
        sila2::org::silastandard::CommandConfirmation confirmation;
        const grpc::Status status = stub->GenerateFlow(&context, flow, &confirmation);
        QVERIFY2(status.ok(), status.error_message().c_str());
        QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(QStringLiteral("01KY1")), 10000);

        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(cli.processId()), SIGTERM);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        // The simulator's log comes in on the event loop.
        const auto stopAfterStart = [&sim] {
            const QStringList frames = sim.received();
            return frames.lastIndexOf(QStringLiteral("01KY0")) >
                   frames.lastIndexOf(QStringLiteral("01KY1"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(stopAfterStart(), 3000);
        // Plain text is warned about, once.
        const QString errors = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(errors.count(QStringLiteral("--insecure")), 1);
    }
};

QTEST_GUILESS_MAIN(TestSilaCommand)
#include "tst_silacommand.moc"
