#include "pump/EntryConversion.h"

#include "pump/SendGate.h"
#include "pump/TypedNumber.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace Pump {

std::optional<int> EntryConversion::fit(long double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const long double truncated = std::trunc(value);
    if (truncated < static_cast<long double>(std::numeric_limits<int>::min()) ||
        truncated > static_cast<long double>(std::numeric_limits<int>::max()))
        return std::nullopt;
    return static_cast<int>(truncated);
}

std::optional<int> EntryConversion::scaled(const QString &text, double factor, double addend)
{
    // Not a number by the one rule, or beyond a double: nothing is sent, never a 0 or a
    // thousandfold value nobody typed.
    const std::optional<double> x = TypedNumber::read(text);
    if (!x)
        return std::nullopt;
    // Extended precision: the addend only absorbs representation error (1.001 -> 1001).
    return fit(static_cast<long double>(*x) * factor + addend);
}

std::optional<int> EntryConversion::scaledFloat(const QString &text, double factor, double addend)
{
    const std::optional<QString> c = TypedNumber::cNotation(text);
    if (!c)
        return std::nullopt;
    bool ok = false;
    const float x = QLocale::c().toFloat(*c, &ok);
    if (!ok)
        return std::nullopt;
    return fit(static_cast<long double>(x) * factor + addend);
}

int EntryConversion::integer(const QString &text)
{
    return text.toInt(nullptr, 10);
}

std::optional<int> EntryConversion::dispenseTime(const QString &hours, const QString &minutes,
                                                 const QString &seconds)
{
    const long double value = static_cast<long double>(integer(hours)) * 1000000 +
                              static_cast<long double>(integer(minutes)) * 10000 +
                              static_cast<long double>(integer(seconds)) * 100;
    return fit(value);
}

std::optional<int> EntryConversion::breakTime(const QString &minutes, const QString &seconds)
{
    const std::optional<int> m = Pump::SendGate::integer(minutes);
    const std::optional<int> s = Pump::SendGate::integer(seconds);
    if (!m || !s)
        return std::nullopt;
    return fit(static_cast<long double>(*s) + 60 * static_cast<long double>(*m));
}

EntryConversion::Time EntryConversion::normalisedTime(const QString &hours, const QString &minutes,
                                                      const QString &seconds)
{
    long long total = static_cast<long long>(integer(seconds)) + 60LL * integer(minutes) +
                      3600LL * integer(hours);
    if (total < 0)
        total = 0;
    if (total > 5999)
        total = 5999;
    return {static_cast<int>(total / 3600), static_cast<int>((total / 60) % 60),
            static_cast<int>(total % 60)};
}

} // namespace Pump
