#pragma once

#include <QString>

#include <QtGlobal>

namespace Pump {

// The arithmetic of one wheel notch on a set-point field, kept apart from the widget so it can
// be checked exhaustively. Decimal fields step by units of a thousandth of the value's decade
// (0.001 below 10, 0.01 below 100, 0.1 below 1000) and speed up with fast wheel turns; integer
// fields step by whole units. Results are clamped to the field's bounds.
class WheelStep
{
public:
    // A value of 0 (or anything not above it) has this exponent: unit 1e-10.
    static constexpr int SmallestExponent = -10;
    // Keeps 10^e within single precision for absurdly large typed values.
    static constexpr int LargestExponent = 30;
    // Speed factor ceiling: a spin faster than 12 ms per notch steps 9001 units.
    static constexpr int MaxSpeedFactor = 10;

    // floor(log10(value + 1e-7)) - 3, bounded to [SmallestExponent, LargestExponent].
    static int decadeExponent(double value);
    // min(|delta div interval|, 10) with integer division; an interval below 1 ms counts as 1.
    static int speedFactor(int delta, qint64 intervalMs);
    // The field's text as a number; anything that is not a finite number reads as 0, except
    // "INF" (the cycle count's "endless") in integer fields, which reads as 1000.
    static double readDecimal(const QString &text);
    static double readInteger(const QString &text);
    static double clamp(double value, double minimum, double maximum);

    // One notch in a decimal field: delta > 0 steps up, anything else down.
    static WheelStep decimal(const QString &text, int delta, qint64 intervalMs, double minimum,
                             double maximum);
    // One notch in an integer field with the given speed factor (1 + 9 * speed^3 units).
    static WheelStep integer(const QString &text, int delta, double speed, double minimum,
                             double maximum);

    int exponent = 0;
    float unit = 1.0f;
    double inverseUnit = 1.0;
    double speed = 0.0;
    double step = 0.0;
    double value = 0.0;
    QString text;
};

} // namespace Pump
