#pragma once

#include "remote/BridgeOptions.h"
#include "sila/SilaOptions.h"

#include <QString>
#include <QStringList>

// One pump as the service is to serve it: its line, and over MQTT, SiLA or both with their
// options. Built from "key = value" settings whose keys are serve's option names: port, address,
// the bridge's keys (broker, id, allow-control, ...), "sila" (HOST:PORT) and the SiLA server's
// keys prefixed "sila-" (sila-insecure, sila-allow-control, sila-discovery, ...).
class PumpPlan
{
public:
    QString name; // the configuration file's [pump NAME]; empty for the one pump of a command
    QString port;
    int address = -1;
    BridgeOptions bridge; // served over MQTT when it names a broker
    bool silaOn = false;
    SilaOptions sila;
    // Where the SiLA server keeps its UUID, name and certificate; empty: the default folder.
    QString identityFolder;
    // Every setting taken, in order: a pump whose list changed is started again on a reload.
    QStringList settings;

    bool mqtt() const { return !bridge.broker.isEmpty(); }

    // Takes one setting; file names a file that holds a password. False with an empty reason for
    // a key it does not know, with the reason for a value it refuses.
    bool take(const QString &key, const QString &value, const QString &file, QString *why);
    // The settings taken so far hold for every pump of a service: a SiLA server's among them
    // is for the pumps that have one, and no mistake for those that do not.
    void sharedSoFar() { firstSilaKey.clear(); }
    // Empty when the pump can be served; else what is wrong.
    QString problem() const;
    // The MQTT id: the one given, else the pump's name, else <host>-<port name>-<address>.
    QString pumpId(const QString &host) const;

    // Every key take() knows, for completion and the manual.
    static QStringList keys();

private:
    QString firstSilaKey; // a SiLA server's setting given, for a pump that has none
};
