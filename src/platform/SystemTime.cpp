#include "platform/SystemTime.h"

#include <QDateTime>

SystemTime SystemTime::nowUtc()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate date = now.date();
    const QTime time = now.time();
    SystemTime t;
    t.year = static_cast<std::uint16_t>(date.year());
    t.month = static_cast<std::uint16_t>(date.month());
    t.dayOfWeek = static_cast<std::uint16_t>(date.dayOfWeek() % 7); // Sunday is 0
    t.day = static_cast<std::uint16_t>(date.day());
    t.hour = static_cast<std::uint16_t>(time.hour());
    t.minute = static_cast<std::uint16_t>(time.minute());
    t.second = static_cast<std::uint16_t>(time.second());
    t.milliseconds = static_cast<std::uint16_t>(time.msec());
    return t;
}
