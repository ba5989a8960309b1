#pragma once

#include <QByteArray>
#include <QString>

// Who the SiLA server is, kept in a folder of its own beside the settings: its UUID (made once),
// its name (--name or SetServerName, kept), and for TLS without the lab's own certificate a
// self-signed certificate carrying the UUID (made once, key readable by the user only).
class SilaIdentity
{
public:
    // The default folder: "sila" in the folder that holds the program's settings.
    static QString defaultFolder();

    // Reads (or on first start creates) the UUID and the name. False with the reason when the
    // folder or its files cannot be read or written, or hold something that is not ours.
    bool load(const QString &folder, QString *error);

    QString uuid() const;
    QString name() const;
    // At most 255 characters; kept for the next start. False with the reason otherwise.
    bool setName(const QString &name, QString *error);
    // Why text cannot be a server name: blank, longer than 255 characters, or holding a control
    // or format character or a line or paragraph separator, which would reach terminals, logs
    // and the network's announcement as they are. Empty when it can.
    static QString nameProblem(const QString &name);

    // The self-signed certificate and its key (PEM), made on first use and reused after.
    bool selfSigned(QByteArray *certificatePem, QByteArray *keyPem, QString *error);
    // Why a lab's certificate and key (PEM, from certificatePath and keyPath) cannot serve
    // together: either is unreadable as PEM, or the key is not the certificate's. Empty when
    // they fit.
    static QString pairProblem(const QByteArray &certificatePem, const QByteArray &keyPem,
                               const QString &certificatePath, const QString &keyPath);
    // The UUID a certificate carries in the SiLA server UUID extension; empty when none.
    static QString uuidInCertificate(const QByteArray &certificatePem);

private:
    QString folderPath;
    QString serverUuid;
    QString serverName;
};
