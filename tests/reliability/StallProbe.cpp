#include "StallProbe.h"

#include <algorithm>

StallProbe::StallProbe(QObject *parent)
    : QObject(parent)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(PeriodMs);
    connect(&timer, &QTimer::timeout, this, &StallProbe::fired);
    clock.start();
    timer.start();
}

void StallProbe::reset()
{
    longest = 0;
    last = clock.elapsed();
}

void StallProbe::fired()
{
    const qint64 now = clock.elapsed();
    if (last >= 0)
        longest = std::max(longest, now - last - PeriodMs);
    last = now;
    if (watch)
        watch();
}
