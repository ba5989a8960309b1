#pragma once

#include <QString>
#include <QtGlobal>

// What the log says of a pump line whose port cannot be opened while the service tries it again
// every few seconds: the problem at once, with its holder when another program has the port;
// again at once when it changes; once a minute while it lasts, so that a port held for good is
// never retried in silence; and once when the port can be used again.
class PortNotice
{
public:
    static constexpr qint64 RepeatMs = 60000;

    // The line to log at monotonic time nowMs for the port's problem now (empty while the port
    // is open); empty when nothing is to be said. retryS: seconds between attempts.
    QString update(const QString &problem, qint64 nowMs, int retryS);

private:
    QString shown;     // the problem last said; empty while the port is open
    qint64 since = 0;  // when it began
    qint64 saidAt = 0; // when it was last said
};
