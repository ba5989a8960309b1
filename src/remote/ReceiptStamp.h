#pragma once

#include <QByteArray>
#include <QString>

// For measuring a request's way through the broker from outside: with DOSETTA_RECEIPT_STAMPS=1 in
// the environment, every message read from the broker's socket puts one line on standard error,
// "receipt <ms since the epoch, to the microsecond> <topic> <correlation data>", topic and
// correlation percent-encoded. The system clock, so that it compares with other processes' logs.
// Off by default, and then it costs one test of a flag.
class ReceiptStamp
{
public:
    static bool enabled();
    // The line for a message received at epochUs (microseconds since the epoch), newline included.
    static QByteArray line(qint64 epochUs, const QString &topic, const QByteArray &correlation);
    // Stamps the message now when enabled: one write, so that the lines of pumps on other
    // threads never run into each other.
    static void note(const QString &topic, const QByteArray &correlation);
};
