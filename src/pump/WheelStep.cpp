#include "pump/WheelStep.h"

#include "pump/TypedNumber.h"

#include <algorithm>
#include <cmath>

namespace Pump {

int WheelStep::decadeExponent(double value)
{
    const double shifted = value + 1e-7;
    if (!std::isfinite(shifted) || shifted <= 0.0)
        return SmallestExponent;
    const double e = std::floor(std::log10(shifted)) - 3;
    return int(std::clamp(e, double(SmallestExponent), double(LargestExponent)));
}

int WheelStep::speedFactor(int delta, qint64 intervalMs)
{
    const qint64 ratio = qint64(delta) / std::max<qint64>(intervalMs, 1);
    return int(std::min<qint64>(std::abs(ratio), MaxSpeedFactor));
}

double WheelStep::readDecimal(const QString &text)
{
    // The field may hold the operator's own decimal comma.
    return TypedNumber::read(text).value_or(0.0);
}

double WheelStep::readInteger(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (ok && std::isfinite(value))
        return value;
    return text == QLatin1String("INF") ? 1000.0 : 0.0;
}

double WheelStep::clamp(double value, double minimum, double maximum)
{
    if (value > maximum)
        return maximum;
    if (value < minimum)
        return minimum;
    return value;
}

WheelStep WheelStep::decimal(const QString &text, int delta, qint64 intervalMs, double minimum,
                             double maximum)
{
    WheelStep s;
    const double start = readDecimal(text);
    s.exponent = decadeExponent(start);
    s.unit = float(std::pow(10.0, s.exponent));
    s.inverseUnit = std::pow(10.0, -s.exponent);
    s.speed = speedFactor(delta, intervalMs);
    // The unit is single precision (0.01f is slightly below 0.01); rounding to whole units
    // removes that error, so a slow notch is exactly one unit.
    const double unit = s.unit;
    s.step = std::round((unit + 9.0 * unit * s.speed * s.speed * s.speed) * s.inverseUnit) /
             s.inverseUnit;
    s.value = clamp(delta > 0 ? start + s.step : start - s.step, minimum, maximum);
    // A typed value of 10000 or more has no decimals to show; what it is clamped to may have.
    const int decimals = s.exponent <= 0 ? -s.exponent : std::max(0, -decadeExponent(s.value));
    s.text = QString("%1").arg(s.value, 0, 'f', decimals);
    return s;
}

WheelStep WheelStep::integer(const QString &text, int delta, double speed, double minimum,
                             double maximum)
{
    WheelStep s;
    s.speed = speed;
    s.step = std::round(1.0 + 9.0 * speed * speed * speed);
    const double start = readInteger(text);
    s.value = clamp(delta > 0 ? start + s.step : start - s.step, minimum, maximum);
    s.text = QString("%1").arg(s.value, 0, 'f', 0);
    return s;
}

} // namespace Pump
