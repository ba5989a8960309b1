#include "MqttRig.h"

#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QTest>

namespace MqttRig {

std::unique_ptr<QProcess> startBridge(const SimProcess &sim, const QStringList &options,
                                      PumpGiven given)
{
    auto bridge = std::make_unique<QProcess>();
    const QString address = QString::number(sim.address());
    QStringList args{"serve"};
    if (given == PumpGiven::OnCommandLine) {
        args = QStringList{"--port", sim.devicePath(), "--address", address} + args;
    } else {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DOSETTA_PORT"), sim.devicePath());
        env.insert(QStringLiteral("DOSETTA_ADDRESS"), address);
        bridge->setProcessEnvironment(env);
    }
    bridge->start(QStringLiteral(DOSETTA_CLI_PROGRAM), args + options);
    return bridge;
}

QStringList clientArgs(int port, const QString &topic)
{
    return {"-h", "127.0.0.1", "-p", QString::number(port), "-V", "mqttv5", "-t", topic};
}

bool publish(int port, const QString &topic, const QByteArray &payload, bool retained,
             const QString &correlation)
{
    QStringList args = clientArgs(port, topic) + QStringList{"-q", "1", "-s"};
    if (retained)
        args << "-r";
    if (!correlation.isEmpty())
        args << "-D"
             << "publish"
             << "correlation-data" << correlation;
    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"), args);
    if (!pub.waitForStarted(5000))
        return false;
    pub.write(payload);
    pub.closeWriteChannel();
    return pub.waitForFinished(30000) && pub.exitStatus() == QProcess::NormalExit &&
           pub.exitCode() == 0;
}

QByteArray retained(int port, const QString &topic, const QByteArray &wanted,
                    const QStringList &options)
{
    const QDeadlineTimer deadline(15000);
    for (;;) {
        QProcess sub;
        sub.start(QStringLiteral("mosquitto_sub"),
                  clientArgs(port, topic) + options +
                      QStringList{"-C", "1", "-W", "2", "--retained-only"});
        sub.waitForFinished(5000);
        const QByteArray seen = sub.readAllStandardOutput().trimmed();
        if (seen.contains(wanted) || deadline.hasExpired())
            return seen;
        QTest::qWait(100);
    }
}

} // namespace MqttRig
