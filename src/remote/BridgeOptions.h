#pragma once

#include "journal/JournalTotals.h"

#include <QString>
#include <QStringList>

// How a bridge reaches its broker and names its pump: from a configuration file of
// "key = value" lines, then from the command line. The password comes from the file or from a
// file of its own, never from the visible arguments.
class BridgeOptions
{
public:
    QString broker; // mqtt://host:1883, mqtts://host:8883 (tcp:// and ssl:// too)
    QString pumpId; // empty: <host>-<port name>-<address>
    QString topicPrefix = QStringLiteral("dosetta");
    QString username;
    QString password;
    QString caFile;   // TLS: the authority the broker's certificate is checked against
    QString certFile; // TLS: our certificate, with its key
    QString keyFile;
    bool allowControl = false; // running and the dosing values
    bool allowConfig = false;  // every other setting: address, inputs, calibration, ...
    bool haDiscovery = false;
    // A service is due at this volume or these running hours since the last one.
    JournalTotals::Thresholds serviceLimits;
    // The pump line, for a bridge started from its file alone (a service); the command line's
    // --port and --address win.
    QString port;
    int address = -1;

    // Keys: port, address, broker, id, topic-prefix, username, password, password-file, ca-file,
    // cert-file, key-file, allow-control, allow-config, service-volume-ml, service-hours (numbers
    // above 0), ha-discovery (yes/no, true/false, on/off,
    // 1/0). '#' starts a comment line. False, with the file, line and reason, on anything else.
    bool readConfig(const QString &path, QString *error);
    // One of those keys but port and address, from file (named when it holds a password). False
    // with an empty reason for a key it does not know, with the reason for a value it refuses.
    bool take(const QString &key, const QString &value, const QString &file, QString *why);
    // The first line of the file, without its line end.
    bool readPasswordFile(const QString &path, QString *error);
    // The credentials a service manager passed in this folder ($CREDENTIALS_DIRECTORY):
    // "password" is the password and "key" the TLS key file, each when it is there and not
    // blank. Nothing to do for an empty folder name.
    bool readCredentials(const QString &folder, QString *error);
    // One line for each file read that holds a password or is the key file and that its group
    // or others may read, naming it; empty when there is none.
    QStringList exposedSecrets() const;
    // Empty when the options can be used; else what is wrong with them.
    QString problem() const;

    bool tls() const;
    // The broker as it may be printed, shown or stored: without user name and password.
    QString shownBroker() const { return withoutUserInfo(broker); }
    static QString withoutUserInfo(const QString &url);
    // The broker in the client library's notation (tcp://, ssl://), with the default port.
    QString serverUri() const;
    // "<host>-<port name>-<address>", with characters a topic level cannot hold replaced by "_".
    static QString defaultPumpId(const QString &host, const QString &port, int address);
    // Usable as one topic level: not empty, no '/', '+' or '#'.
    static bool validTopicLevel(const QString &text);

private:
    QStringList secretFiles; // the files read that held a password
};
