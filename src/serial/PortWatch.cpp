#include "serial/PortWatch.h"

PortWatch::PortWatch(QObject *parent)
    : QObject(parent)
{
    timer.setInterval(IntervalMs);
    connect(&timer, &QTimer::timeout, this, &PortWatch::check);
}

void PortWatch::start(const QList<PortCatalog::Entry> &shown)
{
    known = shown;
    knownSignature.clear(); // the list on show may be older than any signature
    timer.start();
}

void PortWatch::stop()
{
    timer.stop();
}

void PortWatch::check()
{
    QStringList signature = PortCatalog::signature();
    if (signature == knownSignature)
        return;
    knownSignature = std::move(signature);
    QList<PortCatalog::Entry> now = PortCatalog::scan();
    if (now == known)
        return;
    known = now;
    emit portsChanged(now);
}
