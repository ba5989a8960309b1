#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// Announces the SiLA server by multicast DNS as "<uuid>._sila._tcp" with the TXT entries the
// standard lists, through the system's Avahi daemon. No daemon, or one that goes away, is
// reported once and never stops the server; it is announced again when the daemon returns.
class SilaDiscovery : public QObject
{
    Q_OBJECT

public:
    struct Record
    {
        QString uuid;
        quint16 port = 0;
        QString version; // the server's version
        QString serverName;
        QString description;
        QByteArray caPem; // the self-signed certificate; empty with the lab's own or plain text
    };

    explicit SilaDiscovery(QObject *parent = nullptr);
    ~SilaDiscovery() override;

    // Announces, or changes what is announced (a new name).
    void publish(const Record &record);
    void withdraw();

signals:
    // Announced under this instance name; or a problem (no daemon, a name conflict, ...).
    void announced(const QString &instance);
    void problem(const QString &reason);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
