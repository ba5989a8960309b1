#include "pump/TimeDisplay.h"

#include <algorithm>
#include <cmath>

namespace {

// Rounded to the nearest integer, at least two characters, leading zeros.
QString twoDigits(double value)
{
    // Texts typed into the target fields can be anything ("1e30"): keep the number within what
    // the conversion can represent instead of overflowing it.
    constexpr double limit = 1e15;
    double rounded = std::round(value);
    if (!std::isfinite(rounded))
        rounded = 0;
    rounded = std::clamp(rounded, -limit, limit);
    return QStringLiteral("%1").arg(static_cast<long long>(rounded), 2, 10, QLatin1Char('0'));
}

double pair(const QString &text, int position)
{
    return text.mid(position, 2).toDouble();
}

} // namespace

namespace Pump {

TimeDisplay::Labels TimeDisplay::compute(bool motorRunning, const QString &targetHours,
                                         const QString &targetMinutes, const QString &targetSeconds,
                                         const QString &elapsed)
{
    if (!motorRunning)
        return {targetHours, targetMinutes, targetSeconds};

    const double hh = pair(elapsed, 0);
    const double mm = pair(elapsed, 2);
    const double ss = pair(elapsed, 4);
    const double hundredths = pair(elapsed, 6);

    const bool targetSet =
        targetHours.toInt() > 0 || targetMinutes.toInt() > 0 || targetSeconds.toInt() > 0;
    if (!targetSet) {
        return {elapsed.mid(0, 2), elapsed.mid(2, 2), twoDigits(ss + hundredths / 100)};
    }

    // Count down, borrowing from the next field when a difference goes negative.
    Labels labels;
    double carry = 0;
    const double s = std::round(targetSeconds.toDouble() - ss) - hundredths / 100;
    if (s < 0) {
        labels.seconds = twoDigits(s + 60);
        carry = -1;
    } else {
        labels.seconds = twoDigits(s);
    }
    const double m = std::round(targetMinutes.toDouble() - mm) + carry;
    if (m < 0) {
        labels.minutes = twoDigits(m + 60);
        carry = -1;
    } else {
        labels.minutes = twoDigits(m);
        carry = 0;
    }
    labels.hours = twoDigits(std::round(targetHours.toDouble() - hh) + carry);
    return labels;
}

} // namespace Pump
