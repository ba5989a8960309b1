#pragma once

#include "SilaPermission.h"

#include <QString>
#include <QStringList>

// How the SiLA server listens, whom it says it is and what it lets clients do: from a
// configuration file of "key = value" lines, then from the command line. A key file may come as
// a service credential ($CREDENTIALS_DIRECTORY/key), so that the file itself stays root's.
class SilaOptions
{
public:
    static constexpr quint16 DefaultPort = 50052;

    // Without brackets, also for IPv6. Empty: loopback alone, or every address when clients
    // prove who they are with certificates from the lab's client authority.
    QString host;
    quint16 listenPort = DefaultPort; // 0: any free port
    bool insecure = false;
    QString certFile; // the lab's own certificate and key; neither: a self-signed pair
    QString keyFile;
    QString name;      // empty: the name kept from the last start
    QString vendorUrl; // the page ServerVendorURL names; empty: the default
    bool allowControl = false;
    QStringList controlFor; // with allowControl: these clients alone; empty: every client
    // The lab's authority for client certificates: a client without one it signed is refused
    // at the handshake, and one with it is known by its certificate's common name.
    QString clientCaFile;
    // Control for every client that reaches a non-loopback address, without a client authority.
    bool allowAnyone = false;
    // Clients may change the server's configuration (its name).
    bool allowConfig = false;
    bool discovery = true;
    // The pump line, for a server started from its file alone (a service); the command line's
    // --port and --address win.
    QString port;
    int address = -1;

    // Keys: port, address, listen, insecure, cert, key, client-ca, name, vendor-url, allow-control
    // (yes/no or "CN1, CN2"), allow-control-for (names), allow-config, allow-anyone, discovery
    // (yes/no, true/false, on/off, 1/0).
    // '#' starts a comment line. False, with the file, line and reason, on anything else.
    bool readConfig(const QString &path, QString *error);
    // One of those keys but port and address. False with an empty reason for a key it does not
    // know, with the reason for a value it refuses.
    bool take(const QString &key, const QString &value, QString *why);
    // "HOST:PORT", an IPv6 host in brackets ("[::1]:50052"). False with the reason.
    bool setListen(const QString &text, QString *error);
    // The credentials a service manager passed in this folder: "key" is the TLS key when it is
    // there and not blank. Nothing to do for an empty folder name.
    void readCredentials(const QString &folder);
    // One line for the key file when its group or others may read it; empty otherwise.
    QStringList exposedSecrets() const;
    // Empty when the options can be used; else what is wrong with them.
    QString problem() const;

    // The host listened on: the one given, else the default for the client authority.
    QString listenHost() const;
    // Who may move the pump.
    SilaPermission control() const { return SilaPermission(allowControl, controlFor); }
    // Control for clients nobody vouches for on an address others may reach: allowed only when
    // said with allowAnyone, and warned about then.
    bool controlForAnyone() const;

    // HOST:PORT as it may be printed and as gRPC takes it (IPv6 in brackets).
    QString listenAddress() const { return listenAddress(listenPort); }
    QString listenAddress(quint16 boundPort) const;

    // Why a vendor URL cannot be served (not http or https, blanks, too long); empty if it can.
    static QString vendorUrlProblem(const QString &url);

    // allow-control's value: yes or no, or the names of the clients allowed.
    bool takeControl(const QString &value, QString *why);
    // The names alone, as --allow-control-for gives them ("yes" is a client's name there).
    bool takeControlFor(const QString &value, QString *why);

private:
    bool listenBad = false; // a bad listen address, said by problem() too
};
