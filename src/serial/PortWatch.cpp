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
    timer.start();
}

void PortWatch::stop()
{
    timer.stop();
}

void PortWatch::check()
{
    QList<PortCatalog::Entry> now = PortCatalog::scan();
    if (now == known)
        return;
    known = now;
    emit portsChanged(now);
}
