#include "MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

MosquittoBroker::MosquittoBroker() = default;

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

bool MosquittoBroker::configure(const QByteArray &settings)
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return false;
    brokerPort = probe.serverPort();
    probe.close();
    // Started as root, mosquitto reads its files after dropping to its own user.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    QFile config(dir.filePath(QStringLiteral("mosquitto.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("listener %1 127.0.0.1\n").arg(brokerPort).toUtf8() + settings);
    config.close();
    return launch();
}

bool MosquittoBroker::start(const QString &user, const QString &password)
{
    if (user.isEmpty())
        return configure("allow_anonymous true\n");
    const QString passwords = dir.filePath(QStringLiteral("passwords"));
    if (QProcess::execute(
            QStringLiteral("mosquitto_passwd"),
            {QStringLiteral("-c"), QStringLiteral("-b"), passwords, user, password}) != 0)
        return false;
    QFile::setPermissions(passwords, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    return configure("allow_anonymous false\npassword_file " + passwords.toUtf8() + '\n');
}

bool MosquittoBroker::startPersistent()
{
    // Written by mosquitto's own user, which it drops to when started as root.
    const QString store = dir.filePath(QStringLiteral("store"));
    if (!QDir().mkpath(store) ||
        !QFile::setPermissions(store, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther))
        return false;
    return configure("allow_anonymous true\npersistence true\npersistence_location " +
                     store.toUtf8() + "/\n");
}

bool MosquittoBroker::openssl(const QStringList &arguments)
{
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral("openssl"), arguments);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool MosquittoBroker::startTls()
{
    QFile extensions(dir.filePath(QStringLiteral("san.ext")));
    if (!extensions.open(QIODevice::WriteOnly))
        return false;
    extensions.write("subjectAltName=IP:127.0.0.1\n");
    extensions.close();
    if (!openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
                  "ca.pem", "-days", "2", "-subj", "/CN=DOSETTA test authority"}) ||
        !openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out",
                  "server.csr", "-subj", "/CN=127.0.0.1"}) ||
        !openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                  "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "san.ext"}))
        return false;
    for (const char *file : {"ca.pem", "server.pem", "server.key"})
        QFile::setPermissions(dir.filePath(QLatin1String(file)),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    tls = true;
    return configure("allow_anonymous true\ncafile " + caFile().toUtf8() + "\ncertfile " +
                     dir.filePath(QStringLiteral("server.pem")).toUtf8() + "\nkeyfile " +
                     dir.filePath(QStringLiteral("server.key")).toUtf8() + '\n');
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
