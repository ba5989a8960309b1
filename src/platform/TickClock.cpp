#include "platform/TickClock.h"

#include <QElapsedTimer>
#include <QThread>

qint64 TickClock::now()
{
    static const QElapsedTimer epoch = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return epoch.elapsed();
}

void TickClock::sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}
