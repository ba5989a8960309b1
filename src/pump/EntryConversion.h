#pragma once

#include <QString>

#include <optional>

namespace Pump {

// Turns what the operator typed into the integer a pump command carries. A decimal number is read
// by the typed-number rule (the point, or the locale's decimal comma; never a group separator). A
// text that is not a number, or a value that does not fit the command's integer (overflow,
// infinity, NaN), gives nothing, so nothing is sent rather than a value nobody asked for.
class EntryConversion
{
public:
    // text read as a double, times factor, plus addend, truncated toward zero (12.5 ml -> 12500).
    static std::optional<int> scaled(const QString &text, double factor, double addend);
    // The same with the text read as a single-precision float.
    static std::optional<int> scaledFloat(const QString &text, double factor, double addend);
    // A base-10 integer; anything else (such as "INF") counts 0.
    static int integer(const QString &text);
    // hours * 1000000 + minutes * 10000 + seconds * 100: the digits hhmmss00.
    static std::optional<int> dispenseTime(const QString &hours, const QString &minutes,
                                           const QString &seconds);
    // minutes * 60 + seconds; nothing when either text has more digits than an int holds.
    static std::optional<int> breakTime(const QString &minutes, const QString &seconds);

    struct Time
    {
        int hours = 0;
        int minutes = 0;
        int seconds = 0;
    };
    // The three time fields as a total clamped to 0 ... 5999 s (1 h 39 min 59 s), split again.
    static Time normalisedTime(const QString &hours, const QString &minutes,
                               const QString &seconds);

private:
    static std::optional<int> fit(long double value);
};

} // namespace Pump
