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
    void stop();
    bool restart();

    int port() const { return brokerPort; }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort); }
    QString log() const { return output; }

private:
    bool launch();

    QTemporaryDir dir;
    QProcess process;
    int brokerPort = 0;
    QString output;
};
