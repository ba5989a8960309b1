#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real mosquitto on 127.0.0.1 at a free port, with a configuration of its own: anonymous, or
// with one user and password. Stopped and started again on the same port at will.
class MosquittoBroker
{
public:
    MosquittoBroker();
    ~MosquittoBroker();

    MosquittoBroker(const MosquittoBroker &) = delete;
    MosquittoBroker &operator=(const MosquittoBroker &) = delete;

    // user empty: anonymous clients are allowed. Waits until the port takes connections.
    bool start(const QString &user = QString(), const QString &password = QString());
    // TLS only, anonymous, with a certificate for 127.0.0.1 signed by a fresh authority of its
    // own; caFile() names that authority.
    bool startTls();
    // Anonymous, and keeping retained messages across restart() as a lab's broker does: stop()
    // ends it with SIGTERM, on which it saves them.
    bool startPersistent();
    QString caFile() const { return dir.filePath(QStringLiteral("ca.pem")); }
    void stop();
    bool restart();

    int port() const { return brokerPort; }
    QString url() const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(tls ? "mqtts" : "mqtt").arg(brokerPort);
    }
    QString log() const { return output; }

private:
    bool launch();
    bool configure(const QByteArray &settings);
    bool openssl(const QStringList &arguments);

    QTemporaryDir dir;
    QProcess process;
    int brokerPort = 0;
    bool tls = false;
    QString output;
};
