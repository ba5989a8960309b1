#pragma once

#include "serial/PortCatalog.h"

#include <QObject>
#include <QTimer>

// Follows adapters being plugged in and pulled out: while running it scans the port catalogue
// once a second and reports the new list whenever it differs from the last one. Polling keeps
// it to what Qt already offers, and it sees the stable-name folder and the listed paths too,
// which no device event announces.
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
    // Scans now; reports when the list differs from the last one known.
    void check();

signals:
    void portsChanged(const QList<PortCatalog::Entry> &ports);

private:
    QTimer timer;
    QList<PortCatalog::Entry> known;
};
