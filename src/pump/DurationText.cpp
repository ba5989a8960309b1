#include "pump/DurationText.h"

#include <QRegularExpression>
#include <QStringList>

namespace Pump {

namespace {

constexpr qint64 LongestSeconds = 86400;

std::optional<int> checked(qint64 total)
{
    if (total < 0 || total > LongestSeconds)
        return std::nullopt;
    return static_cast<int>(total);
}

} // namespace

std::optional<int> DurationText::seconds(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty())
        return std::nullopt;
    // Digit counts are bounded so that no sum below can overflow.
    static const QRegularExpression clockForm(
        QStringLiteral("^(?:(\\d{1,5}):)?(\\d{1,5}):(\\d{1,5})$"));
    static const QRegularExpression unitForm(
        QStringLiteral("^(?:(\\d{1,5})\\s*h)?\\s*(?:(\\d{1,5})\\s*m)?\\s*(?:(\\d{1,5})\\s*s?)?$"));
    QRegularExpressionMatch m = clockForm.match(t);
    if (m.hasMatch()) {
        const int minutes = m.captured(2).toInt();
        const int secs = m.captured(3).toInt();
        // In a clock every field but the first is below 60.
        if (secs > 59 || (m.capturedLength(1) > 0 && minutes > 59))
            return std::nullopt;
        return checked(m.captured(1).toLongLong() * 3600 + minutes * 60LL + secs);
    }
    m = unitForm.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    // A bare number counts seconds; "5m" is minutes, never months.
    return checked(m.captured(1).toLongLong() * 3600 + m.captured(2).toLongLong() * 60 +
                   m.captured(3).toLongLong());
}

QString DurationText::clock(int seconds)
{
    const int s = seconds < 0 ? 0 : seconds;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace Pump
