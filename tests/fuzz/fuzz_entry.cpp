#include "FuzzInput.h"
#include "ReferenceParse.h"
#include "Require.h"

#include "pump/DisplayFormat.h"
#include "pump/EntryConversion.h"
#include "pump/SendGate.h"
#include "pump/TimeDisplay.h"
#include "pump/WheelStep.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

// The window's pure rules: typed text to command integers, reported values to display texts,
// the elapsed-time labels and the wheel arithmetic. Whatever is typed or reported, a value is
// either sent exactly as the rules say or not at all, and every text stays short and readable.
//
// Input: a choice byte (bits 0-1 scale, 2-3 field bounds, 4 motor running, 5-7 integer wheel
// speed), a 32-bit number (display values, wheel delta), a 16-bit wheel interval in ms, then up
// to five newline-separated fields: hours or a scaled entry, minutes, seconds, the pump's
// elapsed time or model version, a wheeled field.

namespace {

struct Scale
{
    double factor;
    double addend;
};
// Thousandths, hundredths, tenths (the addend absorbs representation error), and plain units.
constexpr Scale Scales[] = {{1000.0, 0.0005}, {100.0, 0.005}, {10.0, 0.05}, {1.0, 0.0}};

struct Bounds
{
    double minimum;
    double maximum;
};
// Volume, time fields, cycle count, and the default bounds of a set-point field.
constexpr Bounds FieldBounds[] = {{1.0, 999.9}, {-1.0, 60.0}, {0.0, 1000.0}, {1.0, 100.0}};

constexpr double IntegerSpeeds[] = {0.0, 1.0, 2.0, 10.0, 0.5, 3.0, 0.0, 1.0};

std::optional<int> fitInt(long double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const long double t = std::trunc(value);
    if (t < INT_MIN || t > INT_MAX)
        return std::nullopt;
    return static_cast<int>(t);
}

std::optional<int> fitInt(long long value)
{
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

int ri(const QString &text)
{
    return ReferenceParse::integer(text).value_or(0);
}

// Digits after the decimal point, -1 when the text is not [-]digits[.digits].
int decimalsOf(const QString &text)
{
    int i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    int before = 0;
    while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 0x80) {
        ++i;
        ++before;
    }
    if (before == 0)
        return -1;
    if (i == text.size())
        return 0;
    if (text.at(i) != QLatin1Char('.'))
        return -1;
    const int point = i++;
    while (i < text.size() && text.at(i).unicode() >= u'0' && text.at(i).unicode() <= u'9')
        ++i;
    return i == text.size() && i > point + 1 ? i - point - 1 : -1;
}

// Half a unit of the last decimal shown, plus the rounding of reading the text back.
double tolerance(double value, int decimals)
{
    return 0.5 * std::pow(10.0, -decimals) + 4 * DBL_EPSILON * std::fabs(value);
}

bool wholeNumberText(const QString &text)
{
    return decimalsOf(text) == 0;
}

// Exact decimal text of value / divisor with `decimals` places, from integer arithmetic.
std::string exactQuotient(long long value, long long divisor, int decimals, long long scale)
{
    const bool negative = value < 0;
    const long long magnitude = negative ? -value : value;
    std::string fraction = std::to_string(magnitude % divisor * scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    return (negative ? "-" : "") + std::to_string(magnitude / divisor) + "." + fraction;
}

void checkScaled(const QString &text, const Scale &scale, bool single)
{
    const std::optional<int> sent =
        single ? Pump::EntryConversion::scaledFloat(text, scale.factor, scale.addend)
               : Pump::EntryConversion::scaled(text, scale.factor, scale.addend);
    const std::optional<double> d = ReferenceParse::plainDecimal(text);
    if (d) {
        long double x = *d;
        if (single) {
            // Beyond single range is an overflow to infinity, not the largest float.
            x = std::fabs(*d) > FLT_MAX ? std::copysign(HUGE_VALL, static_cast<long double>(*d))
                                        : static_cast<long double>(static_cast<float>(*d));
        }
        // A number other than zero too small for the type is refused, never sent as 0.
        const bool underflow = x == 0 && ReferenceParse::nonZeroMantissa(text);
        const std::optional<int> expected =
            underflow ? std::nullopt : fitInt(x * scale.factor + scale.addend);
        require(sent == expected,
                "typed number: sent as number * factor + addend truncated, or not at all");
    } else if (!ReferenceParse::hasAsciiDigit(text)) {
        require(!sent || *sent == 0, "typed text without a digit: 0 or nothing");
    }
}

void checkEntry(const QString &h, const QString &m, const QString &s, const Scale &scale)
{
    checkScaled(h, scale, false);
    checkScaled(h, scale, true);
    require(Pump::EntryConversion::integer(h) == ri(h), "typed integer: the number, 0 when none");

    const long long hours = ri(h);
    const long long minutes = ri(m);
    const long long seconds = ri(s);
    require(Pump::EntryConversion::dispenseTime(h, m, s) ==
                fitInt(hours * 1000000 + minutes * 10000 + seconds * 100),
            "dispense time: digits hhmmss00, nothing beyond int");
    // A typed count or break time is a whole number that fits an int, or nothing at all.
    require(Pump::SendGate::integer(h) == ReferenceParse::integer(h),
            "typed count: the number, nothing when none or too large");
    require(Pump::EntryConversion::breakTime(m, s) ==
                (ReferenceParse::integer(m) && ReferenceParse::integer(s)
                     ? fitInt(minutes * 60 + seconds)
                     : std::nullopt),
            "break time: minutes * 60 + seconds, nothing for no number or beyond int");

    const Pump::EntryConversion::Time t = Pump::EntryConversion::normalisedTime(h, m, s);
    const long long total = std::clamp(hours * 3600 + minutes * 60 + seconds, 0LL, 5999LL);
    require(t.hours >= 0 && t.minutes >= 0 && t.minutes < 60 && t.seconds >= 0 && t.seconds < 60,
            "normalised time: minutes and seconds 0..59");
    require(t.hours * 3600LL + t.minutes * 60LL + t.seconds == total,
            "normalised time: the typed total clamped to 0..5999 s");
}

void checkDisplay(int n, const QString &modelVersion)
{
    const QString setPoint = Pump::DisplayFormat::setPoint(n);
    const int decimals = decimalsOf(setPoint);
    require(setPoint.size() <= 20 && decimals >= 0 && decimals <= 10,
            "set-point: a plain number of at most 20 characters and 10 decimals");
    const double shown = setPoint.toDouble();
    require(std::fabs(shown - n / 1000.0) <= tolerance(n / 1000.0, decimals),
            "set-point: the value rounded to the decimals shown");
    if (n > 0) {
        int significant = 0;
        bool leading = true;
        for (const QChar c : setPoint) {
            if (c == QLatin1Char('.') || (leading && c == QLatin1Char('0')))
                continue;
            leading = false;
            ++significant;
        }
        require(significant >= 4, "set-point: at least four significant digits");
        require(decimals == 0 || significant <= 5, "set-point: no more digits than needed");
    }

    require(Pump::DisplayFormat::actualVolume(n) ==
                QString::fromStdString(exactQuotient(n, 1000, 3, 1) + " ml"),
            "actual volume: thousandths as millilitres with three decimals");
    require(Pump::DisplayFormat::strokeVolume(n) ==
                QString::fromStdString(exactQuotient(n, 10, 2, 10)),
            "stroke volume: tenths with two decimals");
    const QString cycles = Pump::DisplayFormat::cycles(n);
    require(cycles == (n <= 1      ? QStringLiteral("OFF")
                       : n == 1000 ? QStringLiteral("INF")
                                   : QString::number(n)),
            "cycles: OFF, INF or the count");

    const int analog = Pump::DisplayFormat::analogInputIndex(n);
    const int in1 = Pump::DisplayFormat::digitalIn1Index(n);
    const int in2 = Pump::DisplayFormat::digitalIn2Index(n);
    require(analog >= 0 && analog <= 4 && in1 >= 0 && in1 <= 2 && in2 >= 0 && in2 <= 5,
            "list indices within their lists");
    if (n >= 8000 && n <= 12000) {
        const int calibration = Pump::DisplayFormat::calibrationIndex(n);
        require(calibration >= 0 && calibration <= 400, "calibration index within 80..120 %");
    }

    const int hardware = ri(modelVersion.left(5));
    const QString type = Pump::DisplayFormat::pumpType(modelVersion);
    require(type == (hardware == 102   ? QStringLiteral("FLUXO 02")
                     : hardware == 110 ? QStringLiteral("FLUXO 10")
                                       : QStringLiteral("UNKNOWN")),
            "pump type from the first five digits");
    const std::string firmware = "V" + std::to_string(ri(modelVersion.mid(5, 2))) + "." +
                                 std::to_string(ri(modelVersion.mid(7, 3)));
    require(Pump::DisplayFormat::firmware(modelVersion) == QString::fromStdString(firmware),
            "firmware: V major . minor");
}

bool pairIn(const QString &text, int position, int limit, int &value)
{
    const QString pair = text.mid(position, 2);
    if (pair.size() != 2 || !pair.at(0).isDigit() || !pair.at(1).isDigit() ||
        pair.at(0).unicode() > 0x7f || pair.at(1).unicode() > 0x7f)
        return false;
    value = ri(pair);
    return value <= limit;
}

void checkTimeDisplay(bool running, const QString &h, const QString &m, const QString &s,
                      const QString &elapsed)
{
    const Pump::TimeDisplay::Labels labels = Pump::TimeDisplay::compute(running, h, m, s, elapsed);
    if (!running) {
        require(labels.hours == h && labels.minutes == m && labels.seconds == s,
                "motor stopped: the target time as typed");
        return;
    }
    const bool targetSet = ri(h) > 0 || ri(m) > 0 || ri(s) > 0;
    require(wholeNumberText(labels.seconds) && labels.seconds.size() >= 2 &&
                labels.seconds.size() <= 20,
            "seconds label: a whole number, at least two digits");
    if (!targetSet) {
        require(labels.hours == elapsed.mid(0, 2) && labels.minutes == elapsed.mid(2, 2),
                "counting up: hours and minutes as the pump sends them");
        return;
    }
    require(wholeNumberText(labels.hours) && wholeNumberText(labels.minutes) &&
                labels.hours.size() <= 20 && labels.minutes.size() <= 20,
            "counting down: whole-number labels");

    // In the everyday range the labels show the remaining time, to the nearest second.
    int hh = 0, mm = 0, ss = 0, cc = 0;
    const std::optional<int> th = ReferenceParse::integer(h);
    const std::optional<int> tm = ReferenceParse::integer(m);
    const std::optional<int> ts = ReferenceParse::integer(s);
    if (!th || !tm || !ts || *th < 0 || *th > 99 || *tm < 0 || *tm > 59 || *ts < 0 || *ts > 59 ||
        !pairIn(elapsed, 0, 99, hh) || !pairIn(elapsed, 2, 59, mm) || !pairIn(elapsed, 4, 59, ss) ||
        !pairIn(elapsed, 6, 99, cc))
        return;
    const double remaining = (*th - hh) * 3600.0 + (*tm - mm) * 60.0 + (*ts - ss) - cc / 100.0;
    const int shownMinutes = labels.minutes.toInt();
    const int shownSeconds = labels.seconds.toInt();
    require(shownMinutes >= 0 && shownMinutes <= 59 && shownSeconds >= 0 && shownSeconds <= 60,
            "counting down: minutes 0..59, seconds 0..60");
    const double shown = labels.hours.toInt() * 3600.0 + shownMinutes * 60.0 + shownSeconds;
    require(std::fabs(shown - remaining) <= 0.5 + 1e-9,
            "counting down: the remaining time to the nearest second");
}

// The start value a wheel notch must step from, when the reference can tell.
std::optional<double> wheelStart(const QString &text, bool integerField)
{
    if (integerField && text == QLatin1String("INF"))
        return 1000.0;
    const std::optional<double> d = ReferenceParse::plainDecimal(text);
    if (d)
        return std::isfinite(*d) ? *d : 0.0;
    if (!ReferenceParse::hasAsciiDigit(text))
        return 0.0;
    return std::nullopt;
}

// The text has between fewest and most decimals and shows the value to its last decimal.
void checkWheelResult(const Pump::WheelStep &w, const Bounds &b, std::optional<double> start,
                      int delta, int fewest, int most)
{
    require(w.value >= b.minimum && w.value <= b.maximum, "wheel: result within the bounds");
    require(w.step >= 1e-10 * (1 - 1e-6), "wheel: a notch always steps");
    if (start) {
        const double expected =
            std::clamp(delta > 0 ? *start + w.step : *start - w.step, b.minimum, b.maximum);
        require(w.value == expected, "wheel: start plus or minus one step, clamped");
        if (*start >= b.minimum && *start <= b.maximum)
            require(delta > 0 ? w.value >= *start : w.value <= *start,
                    "wheel: moves in the direction of the turn");
    }
    const int decimals = decimalsOf(w.text);
    require(decimals >= fewest && decimals <= most && w.text.size() <= 20,
            "wheel: text is a plain number with the field's decimals");
    require(std::fabs(w.text.toDouble() - w.value) <= tolerance(w.value, decimals),
            "wheel: text shows the result");
}

void checkWheel(const QString &text, int delta, qint64 interval, const Bounds &b, double speed)
{
    const Pump::WheelStep d = Pump::WheelStep::decimal(text, delta, interval, b.minimum, b.maximum);
    const long long ratio =
        std::llabs(static_cast<long long>(delta) / std::max<qint64>(interval, 1));
    const double s = static_cast<double>(std::min(ratio, 10LL));
    require(d.speed == s, "decimal wheel: speed is |delta / interval| capped at 10");
    require(d.exponent >= Pump::WheelStep::SmallestExponent &&
                d.exponent <= Pump::WheelStep::LargestExponent,
            "decimal wheel: exponent within its range");
    require(std::fabs(d.unit / std::pow(10.0, d.exponent) - 1) < 1e-6,
            "decimal wheel: unit is 10^exponent");
    require(std::round(d.step * d.inverseUnit) == 1 + 9 * s * s * s &&
                std::fabs(d.step * d.inverseUnit - std::round(d.step * d.inverseUnit)) < 1e-6,
            "decimal wheel: step is 1 + 9 * speed^3 whole units");
    const std::optional<double> start = wheelStart(text, false);
    if (start) {
        const double shifted = *start + 1e-7;
        if (shifted > 1e-6 && shifted < 1e30)
            require(std::pow(10.0, d.exponent + 3) <= shifted * (1 + 1e-12) &&
                        shifted < std::pow(10.0, d.exponent + 4) * (1 + 1e-12),
                    "decimal wheel: unit is a thousandth of the value's decade");
    }
    // Below 10000 the text has the unit's decimals; a larger typed value is shown with the
    // decimals of what it was clamped to.
    if (d.exponent <= 0)
        checkWheelResult(d, b, start, delta, -d.exponent, -d.exponent);
    else
        checkWheelResult(d, b, start, delta, 0, -Pump::WheelStep::SmallestExponent);

    const Pump::WheelStep i = Pump::WheelStep::integer(text, delta, speed, b.minimum, b.maximum);
    require(i.step == std::round(1 + 9 * speed * speed * speed), "integer wheel: 1 + 9 * speed^3");
    checkWheelResult(i, b, wheelStart(text, true), delta, 0, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const unsigned choice = input.takeByte();
    std::uint32_t raw = 0;
    for (int k = 0; k < 4; ++k)
        raw = raw << 8 | input.takeByte();
    const int number = static_cast<int>(raw);
    const auto interval = static_cast<std::int16_t>(input.takeByte() << 8 | input.takeByte());
    QString fields[5];
    for (QString &field : fields) {
        const std::string bytes = input.takeField();
        field = QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
    }

    checkEntry(fields[0], fields[1], fields[2], Scales[choice & 3u]);
    checkDisplay(number, fields[3]);
    checkTimeDisplay((choice & 16u) != 0, fields[0], fields[1], fields[2], fields[3]);
    checkWheel(fields[4], number, interval, FieldBounds[(choice >> 2) & 3u],
               IntegerSpeeds[choice >> 5]);
    return 0;
}
