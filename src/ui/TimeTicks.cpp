#include "ui/TimeTicks.h"

#include <QDate>

#include <array>

namespace {

QString twoDigits(qint64 n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

qint64 TimeTicks::step(qint64 spanMs, int maxTicks)
{
    static constexpr std::array<qint64, 19> steps{
        1000,        2000,        5000,         10000,          15000,         30000,   60000,
        120000,      300000,      600000,       900000,         1800000,       3600000, 2 * 3600000,
        3 * 3600000, 6 * 3600000, 12 * 3600000, 24 * 3600000LL, 48 * 3600000LL};
    for (qint64 s : steps) {
        if (spanMs / s < maxTicks)
            return s;
    }
    return steps.back();
}

std::vector<TimeTicks::Tick> TimeTicks::ticks(qint64 fromMs, qint64 toMs, int maxTicks,
                                              qint64 offsetMs)
{
    std::vector<Tick> out;
    if (toMs <= fromMs || maxTicks < 1)
        return out;
    const qint64 s = step(toMs - fromMs, maxTicks);
    constexpr qint64 day = 24LL * 3600 * 1000;
    // Round in local time, so that hours and midnights fall on whole numbers there.
    const qint64 localFrom = fromMs + offsetMs;
    qint64 local = localFrom - (((localFrom % s) + s) % s);
    if (local < localFrom)
        local += s;
    for (; local - offsetMs <= toMs; local += s) {
        const qint64 ofDay = ((local % day) + day) % day;
        constexpr qint64 julianDayOf1970 = 2440588;
        const QDate date = QDate::fromJulianDay(julianDayOf1970 + (local - ofDay) / day);
        const QString dayText =
            twoDigits(date.day()) + QLatin1Char('.') + twoDigits(date.month()) + QLatin1Char('.');
        QString label =
            twoDigits(ofDay / 3600000) + QLatin1Char(':') + twoDigits(ofDay / 60000 % 60);
        if (s < 60000)
            label += QLatin1Char(':') + twoDigits(ofDay / 1000 % 60);
        else if (ofDay == 0)
            label = dayText; // midnight names the new day
        // A time of day seen before in the range (a range over a day) takes its date.
        for (const Tick &earlier : out) {
            if (earlier.label == label) {
                label = dayText + QLatin1Char(' ') + label;
                break;
            }
        }
        out.push_back({local - offsetMs, label});
    }
    return out;
}
