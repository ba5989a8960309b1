#include "MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

MosquittoBroker::MosquittoBroker() = default;

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

bool MosquittoBroker::start(const QString &user, const QString &password)
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return false;
    brokerPort = probe.serverPort();
    probe.close();
    QFile config(dir.filePath(QStringLiteral("mosquitto.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = QStringLiteral("listener %1 127.0.0.1\n").arg(brokerPort).toUtf8();
    if (user.isEmpty()) {
        text += "allow_anonymous true\n";
    } else {
        const QString passwords = dir.filePath(QStringLiteral("passwords"));
        if (QProcess::execute(
                QStringLiteral("mosquitto_passwd"),
                {QStringLiteral("-c"), QStringLiteral("-b"), passwords, user, password}) != 0)
            return false;
        // Started as root, mosquitto reads the file after dropping to its own user.
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(passwords, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        text += "allow_anonymous false\npassword_file " + passwords.toUtf8() + '\n';
    }
    config.write(text);
    config.close();
    return launch();
}

bool MosquittoBroker::launch()
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("mosquitto"),
                  {QStringLiteral("-c"), dir.filePath(QStringLiteral("mosquitto.conf"))});
    if (!process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(brokerPort));
        if (socket.waitForConnected(200))
            return true;
        QTest::qWait(50);
    }
    return false;
}

void MosquittoBroker::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
    output += QString::fromLocal8Bit(process.readAll());
}

bool MosquittoBroker::restart()
{
    stop();
    return launch();
}
