#include "ui/ShownBridgeText.h"

#include "ui/PhraseTable.h"

#include <QCoreApplication>

QString ShownBridgeText::shown(const QString &english)
{
    static const PhraseTable table(
        "ShownBridgeText",
        {// the settings
         QT_TRANSLATE_NOOP("ShownBridgeText", "no broker given (--broker mqtt://HOST:PORT)"),
         QT_TRANSLATE_NOOP("ShownBridgeText",
                           "a broker address may not hold a user name or password: give them "
                           "with --username and --password-file (username and password-file "
                           "in a configuration file)"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "\"%1\" is not a broker address such as "
                                              "mqtt://localhost:1883 or mqtts://broker:8883"),
         QT_TRANSLATE_NOOP("ShownBridgeText",
                           "the pump id \"%1\" may not be empty or hold '/', '+' or '#'"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "the topic prefix \"%1\" is not a topic"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "a password needs a username"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "certificates need a TLS broker address (mqtts://)"),
         QT_TRANSLATE_NOOP("ShownBridgeText",
                           "a client certificate needs its key, and a key its certificate"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "%1: cannot be read: %2"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "it is a folder, not a regular file"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "it is a FIFO (named pipe), not a regular file"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "it is a device, not a regular file"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "it is a socket, not a regular file"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "it is not a regular file"),
         // the connection
         QT_TRANSLATE_NOOP("ShownBridgeText", "the connection to the broker was lost"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "the broker closed the connection"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "no answer from the broker within %1 s"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "cannot look up the host %1"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "no memory for a connection"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "bad user name or password"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "not authorised"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "the will topic %1 cannot be used"),
         // the system's words for the commonest failures, as the client writes them
         QT_TRANSLATE_NOOP("ShownBridgeText", "connection refused"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "network is unreachable"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "no route to host"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "connection timed out"),
         // TLS; the library's own reasons inside stay as they came
         QT_TRANSLATE_NOOP("ShownBridgeText", "TLS: the handshake failed"),
         QT_TRANSLATE_NOOP("ShownBridgeText",
                           "TLS: the broker's certificate does not name host %1"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "TLS: the broker's certificate is not trusted (%1)"),
         QT_TRANSLATE_NOOP("ShownBridgeText",
                           "TLS: the certificate, key or CA file cannot be used (%1)"),
         QT_TRANSLATE_NOOP("ShownBridgeText",
                           "TLS: the certificate and key files cannot be used together"),
         // the pump id
         QT_TRANSLATE_NOOP("ShownBridgeText",
                           "the pump id \"%1\" is already online at the broker, with no owner "
                           "record to say where (a bridge of an older version, or an "
                           "\"online\" left behind, which a retained empty message to its "
                           "availability topic clears)"),
         QT_TRANSLATE_NOOP("ShownBridgeText",
                           "the pump id \"%1\" is already online at the broker, served from host "
                           "%2, pid %3, since %4"),
         QT_TRANSLATE_NOOP("ShownBridgeText", "an unknown time")});
    return table.shown(english);
}
