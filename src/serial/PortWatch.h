#pragma once

#include "serial/PortCatalog.h"

#include <QObject>
#include <QTimer>

// Follows adapters being plugged in and pulled out: while running it looks once a second at the
// port catalogue's signature (a few directory listings) and, when that changed, scans the ports
// and reports the new list if it differs from the last one. Polling keeps it to what Qt and the
// file system already offer, and it sees a stable-name folder given for tests and the listed
// paths too, which no device event announces.
class PortWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 1000;

    explicit PortWatch(QObject *parent = nullptr);

    // Starts following from this list (the one on show); the first difference is reported
    // after at most one interval.
    void start(const QList<PortCatalog::Entry> &shown);
    void stop();
    bool running() const { return timer.isActive(); }
    // Looks now; reports when the list differs from the last one known.
    void check();

signals:
    void portsChanged(const QList<PortCatalog::Entry> &ports);

private:
    QTimer timer;
    QList<PortCatalog::Entry> known;
    QStringList knownSignature;
};
