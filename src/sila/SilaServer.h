#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class SilaPump;
class SilaIdentity;

// The SiLA 2 server: gRPC with the callback API, serving SiLAService, the dosing pump feature,
// PauseController and CancelController. Every call is handed to the thread that owns the pump
// core (this object's thread) and answered from there; streams end cleanly on shutdown, on
// client cancel and when the run they follow ends.
class SilaServer : public QObject
{
    Q_OBJECT

public:
    struct Config
    {
        QString host = QStringLiteral("0.0.0.0");
        quint16 port = 50052; // 0: any free port (tests)
        bool insecure = false;
        QByteArray certificatePem; // TLS: required unless insecure
        QByteArray keyPem;
        bool allowControl = false;
        QStringList controlFor; // with allowControl: these clients alone (certificate names)
        // TLS: the authority a client's certificate must come from; empty: none is asked for.
        QByteArray clientCaPem;
        bool allowConfig = false; // SetServerName
        QString version;          // the program's version, for ServerVersion
        QString description;      // ServerDescription
        QString vendorUrl;        // ServerVendorURL; empty: the default
    };

    // Neither is owned; both outlive the server.
    SilaServer(SilaPump &pump, SilaIdentity &identity, QObject *parent = nullptr);
    ~SilaServer() override; // shuts down

    // Binds and serves; false with the reason (address in use, bad certificate, ...).
    bool start(const Config &config, QString *error);
    // The port bound (the one asked, or the one picked for 0).
    quint16 port() const;
    // Every address bound, as ListeningAddresses names them; after start().
    QStringList addresses() const;
    // Ends every stream and call, waits for them (bounded), and stops listening.
    void shutdown();

signals:
    // SetServerName changed the name (already kept by the identity): discovery announces it.
    void serverNameChanged(const QString &name);
    // One line per call that moves the pump or is refused, for the journal; the same line
    // again within a second is counted and said once a second with its count.
    void logged(const QString &line);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
