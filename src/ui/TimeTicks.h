#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// Round times for the chart's time axis: a step of 1, 2, 5, 10, 15 or 30 seconds or minutes, or
// 1 to 12 hours, so that a range holds at most a handful of labels, each labelled in local time
// (a midnight by its date). Labels never repeat: a time of day
// that comes round again in a range over a day carries its date.
class TimeTicks
{
public:
    struct Tick
    {
        qint64 ms;
        QString label;
    };

    // offsetMs: local time minus UTC.
    static std::vector<Tick> ticks(qint64 fromMs, qint64 toMs, int maxTicks, qint64 offsetMs);
    static qint64 step(qint64 spanMs, int maxTicks);
};
